#include "gui/IPopupMenu.h"

#include <cstdio>

IPopupMenuItem::IPopupMenuItem(const char* t, int32_t f) : text(t != nullptr ? t : ""), flags(f) {}

IPopupMenuItem::~IPopupMenuItem() = default;

IPopupMenuItem& IPopupMenu::AddItem(const char* text, int32_t flags)
{
    items.push_back(std::make_unique<IPopupMenuItem>(text, flags));
    return *items.back();
}

std::string IPopupMenu::ShownText(int index) const
{
    if (index < 0 || index >= ItemCount()) {
        return {};
    }
    const std::string& text = items[static_cast<size_t>(index)]->text;
    static const char* const formats[] = {nullptr, "%1d: %s", "%02d: %s", "%03d: %s"};
    if (prefixMode < 1 || prefixMode > 3) {
        return text;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, formats[prefixMode], index + 1, "");
    return buffer + text;
}
