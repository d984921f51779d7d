#pragma once

#include "gui/IPopupMenuItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A menu handed to the window's popup; chosenIndex is the 0-based position
// of the chosen item, -1 until a choice. UI thread only.
class IPopupMenu {
public:
    enum Prefix : int32_t { PrefixNone = 0, PrefixOneDigit = 1, PrefixTwoDigits = 2, PrefixThreeDigits = 3 };

    int32_t prefixMode = PrefixNone;
    int32_t chosenIndex = -1;
    std::vector<std::unique_ptr<IPopupMenuItem>> items;

    explicit IPopupMenu(int32_t prefixMode = PrefixNone) : prefixMode(prefixMode) {}

    IPopupMenuItem& AddItem(const char* text, int32_t flags = 0);
    int ItemCount() const { return static_cast<int>(items.size()); }
    // The text as shown: "%1d: %s", "%02d: %s" or "%03d: %s" with the 1-based position.
    std::string ShownText(int index) const;
};
