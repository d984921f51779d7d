#include "core/IParameter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
void CopyText(char (&dest)[32], const char* src)
{
    if (src == nullptr) {
        dest[0] = '\0';
        return;
    }
    std::strncpy(dest, src, sizeof dest - 1);
    dest[sizeof dest - 1] = '\0';
}
} // namespace

void IParameter::ConfigureDouble(const char* newName, double newDefault, double newMinimum,
                                 double newMaximum, double newStep)
{
    if (type == TypeUnset) {
        type = TypeContinuous;
    }
    CopyText(name, newName);
    label[0] = '\0';
    minimum = newMinimum;
    value = newDefault;
    defaultValue = newDefault;
    maximum = std::fmax(newMaximum, newMinimum + newStep);
    step = newStep;
    displayPrecision = 0;
    for (double c = newStep; std::floor(c) != c && displayPrecision < 6; c *= 10.0) {
        ++displayPrecision;
    }
}

void IParameter::SetFromNormalized(double n)
{
    double v = minimum + (maximum - minimum) * std::pow(n, shape);
    if (type != TypeContinuous) {
        v = std::floor(v / step + 0.5) * step;
    }
    if (v >= maximum) {
        v = maximum;
    }
    value = v;
}

double IParameter::ToNormalized(double v) const
{
    if (v < minimum) {
        v = minimum;
    } else if (v > maximum) {
        v = maximum;
    }
    return std::pow((v - minimum) / (maximum - minimum), 1.0 / shape);
}

void IParameter::DisplayText(char* out, size_t outSize) const
{
    if (out == nullptr || outSize == 0) {
        return;
    }
    if (!displayTexts.empty() && std::isfinite(value) && std::fabs(value) < 2147483648.0) {
        const int32_t key = static_cast<int32_t>(value);
        for (const DisplayTextEntry& entry : displayTexts) {
            if (entry.value == key) {
                if (entry.text[0] != '\0') {
                    std::snprintf(out, outSize, "%s", entry.text);
                    return;
                }
                break;
            }
        }
    }
    const double x = negateDisplay ? -value : value;
    if (displayPrecision > 0) {
        std::snprintf(out, outSize, "%.*f", static_cast<int>(displayPrecision), x);
    } else {
        // Truncation toward zero; values beyond the int range are shown saturated
        // rather than through an undefined conversion.
        long long t = 0;
        if (std::isfinite(x)) {
            t = static_cast<long long>(std::fmax(std::fmin(x, 2147483647.0), -2147483648.0));
        }
        std::snprintf(out, outSize, "%d", static_cast<int>(t));
    }
}

void IParameter::AddDisplayText(int32_t entryValue, const char* text)
{
    DisplayTextEntry entry{};
    entry.value = entryValue;
    CopyText(entry.text, text);
    displayTexts.push_back(entry);
}
