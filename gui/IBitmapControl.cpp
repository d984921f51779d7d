#include "gui/IBitmapControl.h"

#include "gui/IGraphics.h"

IBitmapControl::IBitmapControl(IAudioPlugin* plugIn, int x, int y, int32_t parameter, const IBitmapStrip& s,
                               const IBlendSpec& blendSpec)
    : IControl(plugIn,
               IRectangle{x, y, x + s.width, y + (s.frameCount > 0 ? s.height / s.frameCount : s.height)},
               parameter, blendSpec),
      strip(s)
{
}

int StripFrameForValue(int frameCount, double value)
{
    // The double is compared before the int conversion, so a NaN or a huge
    // value cannot overflow the cast.
    const double position = (frameCount - 1) * value + 0.5;
    if (!(position >= 0.0)) {
        return 1;
    }
    if (position >= static_cast<double>(frameCount)) {
        return frameCount;
    }
    const int i = static_cast<int>(position) + 1;
    return i < 1 ? 1 : (i > frameCount ? frameCount : i);
}

bool IBitmapControl::Render(IGraphics& graphics)
{
    const int frame = strip.frameCount <= 1 ? 1 : StripFrameForValue(strip.frameCount, value);
    return graphics.BlitStripFrame(strip, rect, frame, &blend);
}
