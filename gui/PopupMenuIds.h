#pragma once

#include <functional>

class IPopupMenu;

// Command ids of one popup: numbered from 0 over all its menus. A menu's
// first id is the running counter; the counter then grows by the menu's item
// count before any of its submenus is numbered, so submenu items follow all
// items of their parent. A separator takes a position but no command.
// UI thread only; plain computations so the numbering is testable headless.

// Calls visit(menu, firstId) for the menu and then, depth first in item
// order, for every submenu. Returns the counter after the whole tree.
int VisitPopupMenus(IPopupMenu& menu, int counter, const std::function<void(IPopupMenu&, int)>& visit);

// The command id of item index (0-based) of a menu whose first id is first.
inline int PopupCommandId(int first, int index) { return first + index; }

// The menu holding a command id (ids first..first+n-1 of a menu with n items),
// with the id's 0-based position in it; null and -1 when none holds it.
IPopupMenu* FindPopupHolder(IPopupMenu& root, int id, int& position);
