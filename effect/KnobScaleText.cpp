#include "effect/KnobScaleText.h"

#include "core/IParameter.h"

#include <cmath>
#include <cstdio>

std::string KnobScaleText(const IParameter& parameter, double normalized)
{
    IParameter end = parameter;
    end.SetFromNormalized(normalized);
    char text[32];
    if (parameter.minimum >= 0.0 && parameter.maximum <= 1.0) {
        // A share: the lowest end is plain "0", the others carry their unit.
        const long percent = std::lround(end.value * 100.0);
        std::snprintf(text, sizeof text, percent == 0 ? "%ld" : "%ld%%", percent);
    } else {
        // Whole units, as far as the knob really goes (327.68 prints 327).
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(std::trunc(end.value)));
    }
    return text;
}
