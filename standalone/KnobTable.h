#pragma once

class IParameter;

// The effect's parameters as a new effect configures them (names, ranges,
// defaults), for checking values that come from files without a running
// plug-in. Built once on first use. Any thread; read only.
const IParameter& KnobParameter(int index);

// The parameter index of an LV2 control port symbol ("coarse" ... "odd"),
// or -1. Any thread.
int KnobIndexOfSymbol(const char* symbol);
// The LV2 control port symbol of a parameter index, or null (parameter 4).
const char* KnobSymbol(int index);
