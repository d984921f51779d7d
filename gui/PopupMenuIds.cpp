#include "gui/PopupMenuIds.h"

#include "gui/IPopupMenu.h"

int VisitPopupMenus(IPopupMenu& menu, int counter, const std::function<void(IPopupMenu&, int)>& visit)
{
    int first = counter;
    counter += menu.ItemCount();
    visit(menu, first);
    for (auto& item : menu.items) {
        if (item && item->submenu) {
            counter = VisitPopupMenus(*item->submenu, counter, visit);
        }
    }
    return counter;
}

IPopupMenu* FindPopupHolder(IPopupMenu& root, int id, int& position)
{
    IPopupMenu* holder = nullptr;
    position = -1;
    VisitPopupMenus(root, 0, [&](IPopupMenu& menu, int first) {
        if (!holder && id >= first && id < first + menu.ItemCount()) {
            holder = &menu;
            position = id - first;
        }
    });
    return holder;
}
