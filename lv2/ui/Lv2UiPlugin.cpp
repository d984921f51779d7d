#include "lv2/ui/Lv2UiPlugin.h"

#include "core/ClampStoredValue.h"
#include "lv2/Lv2Interface.h"

#include <mutex>

namespace {
// The control port of a parameter, or -1 for a parameter without one.
int64_t PortOfParameter(int paramIndex)
{
    for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
        if (port.paramIndex == paramIndex) {
            return port.index;
        }
    }
    return -1;
}
} // namespace

Lv2UiPlugin::Lv2UiPlugin(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController,
                         const LV2UI_Touch* hostTouch)
    : DistortionEffect(nullptr, nullptr, false), write(writeFunction), controller(hostController), touch(hostTouch)
{
}

void Lv2UiPlugin::NotifyHostOfParameter(int paramIndex, double)
{
    const int64_t port = PortOfParameter(paramIndex);
    const IParameter* parameter = ParameterAt(paramIndex);
    if (port < 0 || parameter == nullptr || write == nullptr) {
        return;
    }
    // The base has set the plain value before it notifies.
    const float value = static_cast<float>(parameter->value);
    write(controller, static_cast<uint32_t>(port), sizeof value, 0, &value);
}

void Lv2UiPlugin::BeginParameterGesture(int paramIndex) { Hold(paramIndex, true); }

void Lv2UiPlugin::EndParameterGesture(int paramIndex) { Hold(paramIndex, false); }

void Lv2UiPlugin::Hold(int paramIndex, bool holding)
{
    const int64_t port = PortOfParameter(paramIndex);
    if (port < 0) {
        return;
    }
    held[paramIndex] = holding;
    if (touch != nullptr && touch->touch != nullptr) {
        touch->touch(touch->handle, static_cast<uint32_t>(port), holding);
    }
}

void Lv2UiPlugin::TakePortValue(uint32_t port, float value)
{
    using namespace Lv2Interface;
    // Knob ports only: the bypass switch has no knob.
    if (port < kFirstControl || port >= kFirstControl + kControlCount) {
        return;
    }
    const int paramIndex = kControlPorts[port - kFirstControl].paramIndex;
    IParameter& parameter = *ParameterAt(paramIndex);
    if (held[paramIndex]) {
        return;
    }
    const double plain = ClampStoredValue(parameter, static_cast<double>(value));
    // Compared as the port carries it, so the echo of what the knob wrote
    // never pulls the knob off its unrounded position.
    if (static_cast<float>(parameter.value) == static_cast<float>(plain)) {
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(pluginLock);
        parameter.value = plain;
        ParameterChanged(paramIndex);
    }
    if (editor != nullptr) {
        editor->ShowParameterValue(paramIndex, plain, false);
    }
}
