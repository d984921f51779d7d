#include "effect/KnobScaleText.h"

#include "core/IParameter.h"

#include <cmath>
#include <cstdio>

namespace {

bool IsShare(const IParameter& parameter) { return parameter.minimum >= 0.0 && parameter.maximum <= 1.0; }

} // namespace

std::string KnobScaleText(const IParameter& parameter, double normalized)
{
    IParameter end = parameter;
    end.SetFromNormalized(normalized);
    char text[32];
    if (IsShare(parameter)) {
        // A share: the lowest end is plain "0", the others carry their unit.
        const long percent = std::lround(end.value * 100.0);
        std::snprintf(text, sizeof text, percent == 0 ? "%ld" : "%ld%%", percent);
    } else {
        // Whole units, as far as the knob really goes (327.68 prints 327).
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(std::trunc(end.value)));
    }
    return text;
}

std::string KnobValueText(const IParameter& parameter)
{
    char text[32];
    if (IsShare(parameter)) {
        std::snprintf(text, sizeof text, "%ld %%", std::lround(parameter.value * 100.0));
    } else {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(std::trunc(parameter.value)));
    }
    return text;
}
