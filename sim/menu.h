// Popup menus of the simulated phone: what the program built and showed, and the choice the
// user makes in the menu.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "platform/menu.h"
#include "platform/text.h"
#include "platform/types.h"

namespace sim {

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    WString text;
};

// One showing of a menu, as TrackPopupMenuEx was asked for it.
struct ShownMenu {
    std::vector<MenuItem> items;
    UINT flags = 0;
    int x = 0;
    int y = 0;
    HWND owner = nullptr;
    bool withParams = false;  // an exclusion rectangle was given
    UINT_PTR chosen = 0;      // what the showing answered: 0 for a dismissal
};

struct MenuState {
    // The command the user picks at the next showing; 0 dismisses the menu. A command that
    // the menu doesn't hold can't be picked, and counts as a dismissal.
    UINT_PTR choice = 0;
    std::vector<ShownMenu> shown;
    std::size_t created = 0;
    std::size_t destroyed = 0;
    // Live menus by handle value.
    std::map<std::uintptr_t, std::vector<MenuItem>> menus;
    std::uintptr_t nextHandle = 0x30000;
};

// Phone::Reset renews it: no menu, none shown, a dismissal scripted.
MenuState& Menus();

}  // namespace sim
