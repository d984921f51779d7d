#pragma once
#include <memory>

typedef struct _PangoFontDescription PangoFontDescription;

// A system font: a Pango font description with the rendering choices the
// text drawing needs (rotation, antialiasing) and the measured line height.
// Fonts shared between threads are created, used and deleted under the text
// lock of the raster code (raster/TextScratch.h); never on the audio thread.
class SystemFont {
public:
    // Quality values as the font creation call takes them.
    static constexpr int NonAntialiasedQuality = 3;

    // Face through fontconfig (a missing face falls back to the system's
    // sans face); |pixelHeight| is the em size in pixels (at least 1);
    // weight 700 and above is bold; escapement is the text angle in tenths of
    // degrees, counter-clockwise. Null when Pango cannot give a font.
    static std::unique_ptr<SystemFont> Create(const char* face, int pixelHeight, int weight,
                                              bool italic, int escapement, int quality);
    ~SystemFont();
    SystemFont(const SystemFont&) = delete;
    SystemFont& operator=(const SystemFont&) = delete;

    // Ascent + descent in pixels (the text metric height).
    int LineHeight() const { return lineHeight; }
    const PangoFontDescription* Description() const { return description; }
    int Escapement() const { return escapement; }
    bool Antialiased() const { return antialiased; }

private:
    SystemFont() = default;
    PangoFontDescription* description = nullptr;
    int escapement = 0;
    bool antialiased = true;
    int lineHeight = 0;
};
