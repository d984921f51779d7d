#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <memory>

class IGraphicsX11;
class Lv2UiPlugin;

// One open editor of the plug-in in an LV2 host: the UI side's parameters,
// the effect's editor laid out as in the standalone program, and its X11
// window inside the parent the host gave. UI thread (the host's) only.
class Lv2Ui {
public:
    // Reads the host's features (ui:parent required; ui:resize and ui:touch
    // used when offered) and opens the editor. Null, with a message on
    // standard error, when there is no parent or the window cannot be made.
    // widget receives the editor's X11 window id.
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

private:
    Lv2Ui() = default;

    std::unique_ptr<Lv2UiPlugin> plugin;
    IGraphicsX11* graphics = nullptr; // owned by the plug-in
};
