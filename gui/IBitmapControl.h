#pragma once

#include "gui/IBitmapStrip.h"
#include "gui/IControl.h"

// Shows the frame of its strip that matches its value; the editor's
// background is one. UI thread only.
class IBitmapControl : public IControl {
public:
    IBitmapStrip strip;

    IBitmapControl(IAudioPlugin* plug, int x, int y, int32_t paramIndex, const IBitmapStrip& strip,
                   const IBlendSpec& blend);

    bool Render(IGraphics& graphics) override;
};

// Frame 1..frameCount for a normalized value: trunc((N - 1) * value + 0.5) + 1, clamped.
// Any thread; pure.
int StripFrameForValue(int frameCount, double value);
