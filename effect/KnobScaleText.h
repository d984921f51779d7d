#pragma once

#include <string>

class IParameter;

// The text printed at one end of a knob's scale for its parameter: the
// parameter's value at that end of the travel (normalized 0 or 1) in whole
// units ("1", "327"), or in per cent for parameters that run from 0 to 1
// ("0", "100%"). Any thread; reads the parameter only.
std::string KnobScaleText(const IParameter& parameter, double normalized);
