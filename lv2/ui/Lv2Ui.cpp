#include "lv2/ui/Lv2Ui.h"

#include "effect/EditorLayout.h"
#include "gui/EditorScale.h"
#include "gui/IGraphicsX11.h"
#include "lv2/ui/Lv2UiPlugin.h"

#include <lv2/atom/atom.h>

#include <cstdio>
#include <cstring>

namespace {
struct HostFeatures {
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2_Options_Option* options = nullptr;
    const LV2_URID_Map* map = nullptr;
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
        } else if (std::strcmp(uri, LV2_OPTIONS__options) == 0) {
            found.options = static_cast<const LV2_Options_Option*>(data);
        } else if (std::strcmp(uri, LV2_URID__map) == 0) {
            found.map = static_cast<const LV2_URID_Map*>(data);
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
    ui->resize = host.resize;
    if (host.map != nullptr && host.map->map != nullptr) {
        ui->scaleFactorKey = host.map->map(host.map->handle, LV2_UI__scaleFactor);
        ui->floatType = host.map->map(host.map->handle, LV2_ATOM__Float);
        ui->doubleType = host.map->map(host.map->handle, LV2_ATOM__Double);
        ui->intType = host.map->map(host.map->handle, LV2_ATOM__Int);
    }
    ui->plugin = std::make_unique<Lv2UiPlugin>(write, controller, host.touch);
    auto editor = std::make_unique<IGraphicsX11>(ui->plugin.get(), kEditorWidth, kEditorHeight, kEditorFrameRate);
    ui->graphics = editor.get();
    BuildDistortionEditor(*editor, ui->plugin.get());
    ui->plugin->AttachEditor(std::move(editor));
    // The host's scale before the window is made, so it opens at its size.
    if (const double factor = ui->ScaleFactorIn(host.options); factor != 0.0) {
        ui->graphics->SetScale(NearestEditorScale(factor));
    }
    ui->shownScale = static_cast<float>(ui->graphics->scale);
    WindowHandle window = ui->graphics->OpenEditorWindow(host.parent);
    if (window == nullptr) {
        return nullptr;
    }
    if (widget != nullptr) {
        *widget = window;
    }
    ui->TellHostTheSize();
    return ui;
}

double Lv2Ui::ScaleFactorIn(const LV2_Options_Option* options) const
{
    if (scaleFactorKey == 0) {
        return 0.0;
    }
    for (const LV2_Options_Option* o = options; o != nullptr && o->key != 0; ++o) {
        if (o->key != scaleFactorKey || o->value == nullptr) {
            continue;
        }
        // Read as the type says; an unknown type counts as no scale.
        if (o->type == floatType && o->size == sizeof(float)) {
            float value = 0.0f;
            std::memcpy(&value, o->value, sizeof value);
            return value;
        }
        if (o->type == doubleType && o->size == sizeof(double)) {
            double value = 0.0;
            std::memcpy(&value, o->value, sizeof value);
            return value;
        }
        if (o->type == intType && o->size == sizeof(int32_t)) {
            int32_t value = 0;
            std::memcpy(&value, o->value, sizeof value);
            return value;
        }
        std::fputs("Snarlbox: the host's ui:scaleFactor is not a number; the editor keeps its scale\n", stderr);
    }
    return 0.0;
}

void Lv2Ui::TellHostTheSize()
{
    if (resize != nullptr && resize->ui_resize != nullptr && graphics != nullptr) {
        resize->ui_resize(resize->handle, kEditorWidth * graphics->scale, kEditorHeight * graphics->scale);
    }
}

int32_t Lv2Ui::Scale() const { return graphics != nullptr ? graphics->scale : 1; }

uint32_t Lv2Ui::SetOptions(const LV2_Options_Option* options)
{
    const double factor = ScaleFactorIn(options);
    if (factor == 0.0) {
        return LV2_OPTIONS_ERR_BAD_KEY;
    }
    if (graphics != nullptr && graphics->SetWindowScale(NearestEditorScale(factor))) {
        shownScale = static_cast<float>(graphics->scale);
        TellHostTheSize();
    }
    return LV2_OPTIONS_SUCCESS;
}

uint32_t Lv2Ui::GetOptions(LV2_Options_Option* options)
{
    uint32_t result = LV2_OPTIONS_SUCCESS;
    for (LV2_Options_Option* o = options; o != nullptr && o->key != 0; ++o) {
        if (scaleFactorKey != 0 && o->key == scaleFactorKey) {
            o->size = sizeof shownScale;
            o->type = floatType;
            o->value = &shownScale;
        } else {
            result |= LV2_OPTIONS_ERR_BAD_KEY;
        }
    }
    return result;
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
