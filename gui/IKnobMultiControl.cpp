#include "gui/IKnobMultiControl.h"

#include "gui/IBitmapControl.h"
#include "gui/IGraphics.h"

IKnobMultiControl::IKnobMultiControl(IAudioPlugin* plugIn, int x, int y, int32_t parameter,
                                     const IBitmapStrip& s, int32_t dir, double gear)
    : IKnobControl(plugIn,
                   IRectangle{x, y, x + s.width, y + (s.frameCount > 0 ? s.height / s.frameCount : s.height)},
                   parameter, dir, gear, IBlendSpec{IBlendSpec::BlendOver, 1.0f}),
      strip(s)
{
}

bool IKnobMultiControl::Render(IGraphics& graphics)
{
    return graphics.BlitStripFrame(strip, rect, StripFrameForValue(strip.frameCount, value), &blend);
}
