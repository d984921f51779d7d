#pragma once

#include <cstdint>
#include <memory>
#include <string>

class IPopupMenu;

// One entry of a popup menu. UI thread only.
struct IPopupMenuItem {
    enum Flags : int32_t { Greyed = 1, Disabled = 2, Checked = 4, Separator = 8 };

    std::string text;
    std::unique_ptr<IPopupMenu> submenu;
    int32_t flags = 0;

    IPopupMenuItem(const char* text, int32_t flags = 0);
    ~IPopupMenuItem();
};
