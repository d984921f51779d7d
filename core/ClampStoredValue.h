#pragma once

class IParameter;

// A value that comes from outside (a stored state, a host's control port),
// made safe for the parameter: NaN gives the parameter's default, which the
// processing can truncate to an integer; everything else, infinities too, is
// clamped into the parameter's range.
// Any thread; pure, real-time safe.
double ClampStoredValue(const IParameter& parameter, double value);
