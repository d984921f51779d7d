#include "core/ClampStoredValue.h"

#include "core/IParameter.h"

#include <algorithm>
#include <cmath>

double ClampStoredValue(const IParameter& parameter, double value)
{
    // NaN has no place in the range (it would silence or corrupt the output
    // through gain or wet); infinities clamp like any other value out of range.
    if (std::isnan(value)) {
        value = parameter.defaultValue;
    }
    return std::clamp(value, parameter.minimum, parameter.maximum);
}
