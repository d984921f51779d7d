#pragma once

#include "gui/IBitmapStrip.h"
#include "gui/IKnobControl.h"

// A knob drawn as the frame of a strip that matches its value. UI thread only.
class IKnobMultiControl : public IKnobControl {
public:
    IBitmapStrip strip;

    IKnobMultiControl(IAudioPlugin* plug, int x, int y, int32_t paramIndex, const IBitmapStrip& strip,
                      int32_t direction, double gearing);

    bool Render(IGraphics& graphics) override;
};
