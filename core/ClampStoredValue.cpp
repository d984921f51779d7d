#include "core/ClampStoredValue.h"

#include "core/IParameter.h"

#include <algorithm>
#include <cmath>

double ClampStoredValue(const IParameter& parameter, double value)
{
    if (!std::isfinite(value)) {
        value = parameter.defaultValue;
    }
    return std::clamp(value, parameter.minimum, parameter.maximum);
}
