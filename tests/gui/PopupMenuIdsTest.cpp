#include "gui/IPopupMenu.h"
#include "gui/PopupMenuIds.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {
std::vector<std::pair<IPopupMenu*, int>> Firsts(IPopupMenu& root)
{
    std::vector<std::pair<IPopupMenu*, int>> out;
    VisitPopupMenus(root, 0, [&](IPopupMenu& m, int first) { out.emplace_back(&m, first); });
    return out;
}
} // namespace

TEST(PopupIds, SeparatorTakesAPositionButNoCommand)
{
    IPopupMenu menu;
    menu.AddItem("One");
    menu.AddItem("", IPopupMenuItem::Separator);
    menu.AddItem("Three");
    int position = -1;
    EXPECT_EQ(FindPopupHolder(menu, 2, position), &menu);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(FindPopupHolder(menu, 3, position), nullptr);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(FindPopupHolder(menu, -1, position), nullptr);
}

TEST(PopupIds, SubmenusFollowAllItemsOfTheirParent)
{
    // root: a, b -> [x, y -> [p, q]], c -> [z]
    IPopupMenu root;
    root.AddItem("a");
    IPopupMenuItem& b = root.AddItem("b");
    root.AddItem("c").submenu = std::make_unique<IPopupMenu>();
    b.submenu = std::make_unique<IPopupMenu>(IPopupMenu::PrefixTwoDigits);
    b.submenu->AddItem("x");
    b.submenu->AddItem("y").submenu = std::make_unique<IPopupMenu>();
    b.submenu->items[1]->submenu->AddItem("p");
    b.submenu->items[1]->submenu->AddItem("q");
    root.items[2]->submenu->AddItem("z");

    IPopupMenu* sub = b.submenu.get();
    IPopupMenu* subsub = sub->items[1]->submenu.get();
    IPopupMenu* last = root.items[2]->submenu.get();
    auto firsts = Firsts(root);
    ASSERT_EQ(firsts.size(), 4u);
    EXPECT_EQ(firsts[0], std::make_pair(&root, 0));
    EXPECT_EQ(firsts[1], std::make_pair(sub, 3));
    EXPECT_EQ(firsts[2], std::make_pair(subsub, 5));
    EXPECT_EQ(firsts[3], std::make_pair(last, 7));
    EXPECT_EQ(VisitPopupMenus(root, 0, [](IPopupMenu&, int) {}), 8);

    int position = -1;
    EXPECT_EQ(FindPopupHolder(root, 4, position), sub);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(FindPopupHolder(root, 6, position), subsub);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(FindPopupHolder(root, 7, position), last);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(sub->ShownText(2 - 1), "02: y");
}
