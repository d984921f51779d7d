#pragma once

// A small LV2 UI host of the tests' own: an X11 top-level window as the
// parent, the editor's shared object opened with dlopen, the host features
// an embedding host gives (ui:parent, ui:resize, ui:touch, ui:idleInterface,
// and on request a ui:scaleFactor among its options with urid:map), and a
// record of everything the editor writes. Test thread only.

// Before Xlib, whose macros (None, Bool) would break gtest's headers.
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

inline std::string UiBinary() { return std::string(SNARLBOX_LV2_BUNDLE) + "/snarlbox_ui.so"; }

// The editor's shared object, opened once per test process (as a host keeps it).
class UiLibrary {
public:
    UiLibrary() : handle(dlopen(UiBinary().c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (handle != nullptr) {
            auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(handle, "lv2ui_descriptor"));
            descriptor = entry != nullptr ? entry(0) : nullptr;
        }
    }
    ~UiLibrary()
    {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    UiLibrary(const UiLibrary&) = delete;
    UiLibrary& operator=(const UiLibrary&) = delete;
    static std::string Error()
    {
        const char* e = dlerror();
        return e != nullptr ? e : "";
    }

    void* handle;
    const LV2UI_Descriptor* descriptor = nullptr;
};

// Swallows X errors in the test process (a window that vanished under an
// XGetImage), counting them instead of exiting.
inline int& XErrorCount()
{
    static int count = 0;
    return count;
}
inline void TolerateXErrors()
{
    XSetErrorHandler([](Display*, XErrorEvent*) {
        ++XErrorCount();
        return 0;
    });
}

// Runs step every 10 ms until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds, const std::function<void()>& step)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        step();
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// The test's own display connection; a loaded X server may refuse one for a
// moment, so it is asked again for up to two seconds. Null without a display.
inline Display* OpenTestDisplay()
{
    Display* display = nullptr;
    WaitUntil([&] { return display != nullptr; }, 2000, [&] {
        if (display == nullptr) {
            display = XOpenDisplay(nullptr);
        }
    });
    return display;
}

// One open editor in a parent window of its own.
class UiHost {
public:
    struct Write {
        uint32_t port;
        float value;
    };
    struct Touch {
        uint32_t port;
        bool grabbed;
        bool operator==(const Touch&) const = default;
    };

    // Opens the parent at (x, y) on display (the test's own connection).
    // scaleFactor > 0 passes it as the host's ui:scaleFactor.
    UiHost(Display* display, const LV2UI_Descriptor* descriptor, int x = 0, int y = 0, bool offerParent = true,
           float scaleFactor = 0.0f)
        : display(display), descriptor(descriptor), scaleValue(scaleFactor)
    {
        // Room for the editor at scale 3 when the host asks for a scale.
        const unsigned room = scaleFactor > 0.0f ? 3 : 1;
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 700 * room, 200 * room, 0, 0, 0);
        XSelectInput(display, parent, StructureNotifyMask);
        XMapWindow(display, parent);
        XEvent event;
        do {
            XWindowEvent(display, parent, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
        XSelectInput(display, parent, 0);

        resize.handle = this;
        resize.ui_resize = [](LV2UI_Feature_Handle h, int w, int ht) {
            static_cast<UiHost*>(h)->sizes.push_back({w, ht});
            return 0;
        };
        touch.handle = this;
        touch.touch = [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
            static_cast<UiHost*>(h)->touches.push_back({port, grabbed});
        };
        parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
        resizeFeature = {LV2_UI__resize, &resize};
        touchFeature = {LV2_UI__touch, &touch};
        idleFeature = {LV2_UI__idleInterface, nullptr};
        std::vector<const LV2_Feature*> features;
        if (offerParent) {
            features.push_back(&parentFeature);
        }
        features.push_back(&resizeFeature);
        features.push_back(&touchFeature);
        features.push_back(&idleFeature);
        map.handle = this;
        map.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UiHost*>(h)->Map(uri); };
        mapFeature = {LV2_URID__map, &map};
        options[0] = {LV2_OPTIONS_INSTANCE, 0, Map(LV2_UI__scaleFactor), sizeof scaleValue, Map(LV2_ATOM__Float),
                      &scaleValue};
        options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        optionsFeature = {LV2_OPTIONS__options, options};
        if (scaleFactor > 0.0f) {
            features.push_back(&mapFeature);
            features.push_back(&optionsFeature);
        }
        features.push_back(nullptr);
        ui = descriptor->instantiate(descriptor, "urn:brimvale:snarlbox", SNARLBOX_LV2_BUNDLE, &UiHost::WriteTo, this,
                                     &widget, features.data());
        if (ui != nullptr) {
            idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        }
        XSync(display, False);
    }
    ~UiHost()
    {
        Close();
        DestroyParent();
    }
    UiHost(const UiHost&) = delete;
    UiHost& operator=(const UiHost&) = delete;

    void Close()
    {
        if (ui != nullptr) {
            descriptor->cleanup(ui);
            ui = nullptr;
        }
    }
    // The host's window goes, with the editor's inside it.
    void DestroyParent()
    {
        if (parent != 0) {
            XDestroyWindow(display, parent);
            XSync(display, False);
            parent = 0;
        }
    }
    // A URI's number in this host's map, from 1.
    LV2_URID Map(const char* uri)
    {
        for (size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    // The host's scale factor changes; the editor's answer to the options interface.
    uint32_t SetScaleFactor(float factor)
    {
        const auto* interface =
            static_cast<const LV2_Options_Interface*>(descriptor->extension_data(LV2_OPTIONS__interface));
        if (interface == nullptr || ui == nullptr) {
            return LV2_OPTIONS_ERR_UNKNOWN;
        }
        scaleValue = factor;
        return interface->set(ui, options);
    }
    // The editor's X11 window.
    Window EditorWindow() const { return static_cast<Window>(reinterpret_cast<uintptr_t>(widget)); }
    // One idle call, as a host makes it; its result.
    int Idle() { return idle != nullptr && ui != nullptr ? idle->idle(ui) : -1; }
    // Idle calls every 10 ms for a while.
    void IdleFor(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            Idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Idle calls until the condition holds or the time is up.
    bool IdleUntil(const std::function<bool()>& condition, int milliseconds = 10000)
    {
        return WaitUntil(condition, milliseconds, [&] { Idle(); });
    }
    void SetPort(uint32_t port, float value)
    {
        descriptor->port_event(ui, port, sizeof value, 0, &value);
    }
    // The last value written to the port, or NaN.
    float LastWrite(uint32_t port) const
    {
        for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
            if (it->port == port) {
                return it->value;
            }
        }
        return std::numeric_limits<float>::quiet_NaN();
    }

    Display* display;
    const LV2UI_Descriptor* descriptor;
    Window parent = 0;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    std::vector<Write> writes;
    std::vector<Touch> touches;
    std::vector<std::pair<int, int>> sizes;

private:
    static void WriteTo(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        auto* self = static_cast<UiHost*>(const_cast<void*>(controller));
        if (format == 0 && size == sizeof(float)) {
            float value = 0.0f;
            std::memcpy(&value, buffer, sizeof value);
            self->writes.push_back({port, value});
        }
    }

    LV2UI_Resize resize{};
    LV2UI_Touch touch{};
    LV2_Feature parentFeature{};
    LV2_Feature resizeFeature{};
    LV2_Feature touchFeature{};
    LV2_Feature idleFeature{};
    float scaleValue;
    std::vector<std::string> uris;
    LV2_URID_Map map{};
    LV2_Options_Option options[2]{};
    LV2_Feature mapFeature{};
    LV2_Feature optionsFeature{};
};

// The test's own display connection and the editor's library, for the suites
// that open editors in UiHost.
class UiDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = OpenTestDisplay();
        REQUIRE_SERVICE(display != nullptr, "no X display (run under tests/support/with-xvfb.sh)");
        TolerateXErrors();
        library = std::make_unique<UiLibrary>();
        ASSERT_NE(library->descriptor, nullptr) << UiBinary() << ": " << UiLibrary::Error();
    }
    void TearDown() override
    {
        library.reset();
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    Display* display = nullptr;
    std::unique_ptr<UiLibrary> library;
};

// Runs xdotool with the arguments; true when it succeeded.
inline bool Xdotool(const std::string& arguments)
{
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}
