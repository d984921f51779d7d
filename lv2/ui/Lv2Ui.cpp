#include "lv2/ui/Lv2Ui.h"

#include "effect/EditorLayout.h"
#include "gui/IGraphicsX11.h"
#include "lv2/ui/Lv2UiPlugin.h"

#include <cstdio>
#include <cstring>

namespace {
struct HostFeatures {
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
};

// Features with a null feature or null data are treated as absent.
HostFeatures ReadFeatures(const LV2_Feature* const* features)
{
    HostFeatures found;
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        const char* uri = (*f)->URI;
        void* data = (*f)->data;
        if (uri == nullptr || data == nullptr) {
            continue;
        }
        if (std::strcmp(uri, LV2_UI__parent) == 0) {
            found.parent = data;
        } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
            found.resize = static_cast<const LV2UI_Resize*>(data);
        } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
            found.touch = static_cast<const LV2UI_Touch*>(data);
        }
    }
    return found;
}
} // namespace

std::unique_ptr<Lv2Ui> Lv2Ui::Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     const LV2_Feature* const* features, LV2UI_Widget* widget)
{
    const HostFeatures host = ReadFeatures(features);
    if (host.parent == nullptr) {
        std::fputs("Snarlbox: the host offers no parent window (ui:parent); the editor cannot open\n", stderr);
        return nullptr;
    }
    std::unique_ptr<Lv2Ui> ui(new Lv2Ui());
    ui->plugin = std::make_unique<Lv2UiPlugin>(write, controller, host.touch);
    auto editor = std::make_unique<IGraphicsX11>(ui->plugin.get(), kEditorWidth, kEditorHeight, kEditorFrameRate);
    ui->graphics = editor.get();
    BuildDistortionEditor(*editor, ui->plugin.get());
    ui->plugin->AttachEditor(std::move(editor));
    WindowHandle window = ui->graphics->OpenEditorWindow(host.parent);
    if (window == nullptr) {
        return nullptr;
    }
    if (widget != nullptr) {
        *widget = window;
    }
    if (host.resize != nullptr && host.resize->ui_resize != nullptr) {
        host.resize->ui_resize(host.resize->handle, kEditorWidth, kEditorHeight);
    }
    return ui;
}

Lv2Ui::~Lv2Ui()
{
    // The window goes before the editor and the parameters behind it.
    if (graphics != nullptr) {
        graphics->CloseEditorWindow();
    }
}

void Lv2Ui::PortEvent(uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    if (format != 0 || bufferSize != sizeof(float) || buffer == nullptr) {
        return;
    }
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof value);
    plugin->TakePortValue(port, value);
}

int Lv2Ui::Idle() { return graphics != nullptr && graphics->Idle() ? 0 : 1; }
