#pragma once

#include <string>

class IParameter;

// The text printed at one end of a knob's scale for its parameter: the
// parameter's value at that end of the travel (normalized 0 or 1) in whole
// units ("1", "327"), or in per cent for parameters that run from 0 to 1
// ("0", "100%"). Any thread; reads the parameter only.
std::string KnobScaleText(const IParameter& parameter, double normalized);

// The parameter's present value as the readout under the scales shows it, in
// the scale's units: a share in whole per cent ("49 %"), any other value in
// the whole units that count ("21" for a Coarse of 21.42, which holds each
// sample 21 times). Any thread; reads the parameter only.
std::string KnobValueText(const IParameter& parameter);
