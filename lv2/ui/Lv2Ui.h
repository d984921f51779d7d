#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>

class IGraphicsX11;
class Lv2UiPlugin;

// One open editor of the plug-in in an LV2 host: the UI side's parameters,
// the effect's editor laid out as in the standalone program, and its X11
// window inside the parent the host gave. UI thread (the host's) only.
class Lv2Ui {
public:
    // Reads the host's features (ui:parent required; ui:resize, ui:touch and
    // the options with ui:scaleFactor, given with urid:map, used when
    // offered) and opens the editor at the host's scale. Null, with a
    // message on standard error, when there is no parent or the window
    // cannot be made. widget receives the editor's X11 window id.
    static std::unique_ptr<Lv2Ui> Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                         const LV2_Feature* const* features, LV2UI_Widget* widget);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // The host's port_event: float control values (format 0) only.
    void PortEvent(uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer);
    // The host's idle call: window events and the redraw timer. 0 while the
    // editor is open, 1 once its window is gone.
    int Idle();
    // The options interface: a new ui:scaleFactor redraws the editor at the
    // nearest supported scale and tells the host its new size. Other
    // options are not ours (LV2_OPTIONS_ERR_BAD_KEY).
    uint32_t SetOptions(const LV2_Options_Option* options);
    // Answers ui:scaleFactor with the scale the editor draws at.
    uint32_t GetOptions(LV2_Options_Option* options);
    // Device pixels per editor pixel.
    int32_t Scale() const;

private:
    Lv2Ui() = default;
    // The scale factor among the options, or 0 when they carry none.
    double ScaleFactorIn(const LV2_Options_Option* options) const;
    void TellHostTheSize();

    std::unique_ptr<Lv2UiPlugin> plugin;
    IGraphicsX11* graphics = nullptr; // owned by the plug-in
    const LV2UI_Resize* resize = nullptr;
    LV2_URID scaleFactorKey = 0; // 0: the host maps no URIs
    LV2_URID floatType = 0;
    LV2_URID doubleType = 0;
    LV2_URID intType = 0;
    float shownScale = 1.0f; // what GetOptions hands out
};
