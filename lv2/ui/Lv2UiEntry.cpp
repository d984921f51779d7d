// The editor's C entry point and the UI descriptor's callbacks, which hand
// each call to its Lv2Ui. Nothing may throw through them into the host.

#include "lv2/Lv2Interface.h"
#include "lv2/ui/Lv2Ui.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    if (pluginUri == nullptr || std::strcmp(pluginUri, Lv2Interface::kPluginUri) != 0) {
        std::fprintf(stderr, "Snarlbox: the editor belongs to %s, not to %s\n", Lv2Interface::kPluginUri,
                     pluginUri != nullptr ? pluginUri : "(no plug-in)");
        return nullptr;
    }
    try {
        return Lv2Ui::Create(write, controller, features, widget).release();
    } catch (const std::bad_alloc&) {
        std::fputs("Snarlbox: not enough memory for the editor\n", stderr);
        return nullptr;
    }
}

void Cleanup(LV2UI_Handle ui) { delete static_cast<Lv2Ui*>(ui); }

void PortEvent(LV2UI_Handle ui, uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    static_cast<Lv2Ui*>(ui)->PortEvent(port, bufferSize, format, buffer);
}

int Idle(LV2UI_Handle ui) { return static_cast<Lv2Ui*>(ui)->Idle(); }

const LV2UI_Idle_Interface kIdleInterface = {Idle};

uint32_t GetOptions(LV2_Handle ui, LV2_Options_Option* options)
{
    return static_cast<Lv2Ui*>(ui)->GetOptions(options);
}

uint32_t SetOptions(LV2_Handle ui, const LV2_Options_Option* options)
{
    try {
        return static_cast<Lv2Ui*>(ui)->SetOptions(options);
    } catch (const std::bad_alloc&) {
        std::fputs("Snarlbox: not enough memory for the editor at the new scale\n", stderr);
        return LV2_OPTIONS_ERR_UNKNOWN;
    }
}

const LV2_Options_Interface kOptionsInterface = {GetOptions, SetOptions};

const void* ExtensionData(const char* uri)
{
    if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &kIdleInterface;
    }
    if (uri != nullptr && std::strcmp(uri, LV2_OPTIONS__interface) == 0) {
        return &kOptionsInterface;
    }
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {Lv2Interface::kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

// The one symbol the editor's shared object exports.
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
