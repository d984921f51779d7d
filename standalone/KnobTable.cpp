#include "standalone/KnobTable.h"

#include "effect/DistortionEffect.h"
#include "lv2/Lv2Interface.h"

#include <cstring>

const IParameter& KnobParameter(int index)
{
    // Never destroyed: sound files may be read until the process ends.
    static const DistortionEffect* const table = new DistortionEffect(nullptr, nullptr, false);
    return *const_cast<DistortionEffect*>(table)->ParameterAt(index);
}

int KnobIndexOfSymbol(const char* symbol)
{
    for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
        if (std::strcmp(port.symbol, symbol) == 0) {
            return port.paramIndex;
        }
    }
    return -1;
}

const char* KnobSymbol(int index)
{
    for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
        if (port.paramIndex == index) {
            return port.symbol;
        }
    }
    return nullptr;
}
