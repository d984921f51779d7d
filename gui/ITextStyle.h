#pragma once

#include "gui/IRgbaColor.h"

#include <cstdint>

class RasterCachedFont;

// Style of a control's text and of its text-entry field.
struct ITextStyle {
    enum Style : int32_t { Normal = 0, Bold = 1, Italic = 2 };
    enum Align : int32_t { AlignLeft = 0, AlignCentre = 1, AlignRight = 2 };

    char font[32] = "Verdana";
    int32_t size = 12; // character height in pixels
    IRgbaColor colour{255, 0, 0, 0};
    IRgbaColor entryBackground{255, 255, 255, 255};
    IRgbaColor entryForeground{255, 0, 0, 0};
    int32_t style = Normal;
    int32_t align = AlignCentre;
    int32_t orientation = 0; // degrees
    int32_t quality = 0;     // 0 default, 1 non-antialiased, 2 antialiased, 3 ClearType
    RasterCachedFont* cachedFont = nullptr; // owned by the font cache
};
