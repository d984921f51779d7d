#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One fixed text for one parameter value.
struct DisplayTextEntry {
    int32_t value;
    char text[32];
};

// One automatable setting: a plain value with a range, a step, a display
// precision and a response curve ("shape") from the editor's 0..1 position.
// No lock of its own: the plug-in base holds the plug-in lock around changes.
class IParameter {
public:
    enum Type : int32_t {
        TypeUnset = 0,
        TypeToggle = 1,
        TypeInteger = 2,
        TypeChoice = 3,
        TypeContinuous = 4,
    };

    int32_t type = TypeUnset;
    double value = 0.0;
    double minimum = 0.0;
    double maximum = 1.0;
    double step = 1.0;
    double shape = 1.0;          // exponent of the normalized mapping
    double defaultValue = 0.0;
    int32_t displayPrecision = 0; // digits after the point, 0..6
    char name[32] = {};
    char label[32] = {};
    bool negateDisplay = false;
    std::vector<DisplayTextEntry> displayTexts;

    // UI thread, before audio starts. The maximum is raised to at least
    // minimum + step; the precision follows from the step's decimals.
    void ConfigureDouble(const char* newName, double newDefault, double newMinimum,
                         double newMaximum, double newStep);

    // Any thread holding the plug-in lock. v = min + (max - min) * n^shape,
    // rounded to the step unless continuous, capped at the maximum.
    void SetFromNormalized(double n);

    // Any thread; a plain read. Clamps v into the range, then inverts the shape.
    double ToNormalized(double v) const;

    // Any thread. Writes the display text into out (at least 32 bytes).
    void DisplayText(char* out, size_t outSize = 32) const;

    // UI thread, at configuration. Texts longer than 31 bytes are cut.
    void AddDisplayText(int32_t entryValue, const char* text);
};
