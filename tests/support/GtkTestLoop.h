#pragma once

#include <glib.h>
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <string>

// Runs the GTK main loop for about ms milliseconds.
inline void Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        while (gtk_events_pending()) {
            gtk_main_iteration_do(FALSE);
        }
        g_usleep(2000);
    }
}

// Runs the GTK main loop until done() holds or ms milliseconds have passed;
// says whether it held. Drawing waits for the editor's timer, which a loaded
// machine may run late.
inline bool PumpUntil(const std::function<bool()>& done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        Pump(10);
    }
    return true;
}

// Runs f once from the main loop after ms milliseconds (nested loops included).
inline void RunLater(int ms, std::function<void()> f)
{
    auto* held = new std::function<void()>(std::move(f));
    g_timeout_add(
        static_cast<guint>(ms),
        [](gpointer data) -> gboolean {
            auto* fn = static_cast<std::function<void()>*>(data);
            (*fn)();
            delete fn;
            return G_SOURCE_REMOVE;
        },
        held);
}

inline bool HaveXdotool()
{
    gchar* tool = g_find_program_in_path("xdotool");
    const bool found = tool != nullptr;
    g_free(tool);
    return found;
}

// Real pointer and key input through the X test extension; false when
// xdotool is missing or fails.
inline bool Xdotool(const std::string& args)
{
    gchar* tool = g_find_program_in_path("xdotool");
    if (tool == nullptr) {
        return false;
    }
    const std::string command = std::string(tool) + " " + args;
    g_free(tool);
    gint status = -1;
    const bool ran = g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, &status, nullptr);
    return ran && status == 0;
}
