// Popup menus of the simulated phone. Showing a menu doesn't wait for anyone: the user's
// choice is scripted beforehand in Menus().choice, and every showing is kept for tests.
#include "sim/menu.h"

#include <algorithm>
#include <cstdio>

#include "sim/phone.h"

using sim::Phone;

namespace {

constexpr UINT kWmCommand = 0x0111;

std::vector<sim::MenuItem>* LiveMenu(HMENU menu)
{
    auto& menus = sim::Menus().menus;
    const auto found = menus.find(reinterpret_cast<std::uintptr_t>(menu));
    return found == menus.end() ? nullptr : &found->second;
}

sim::MenuEntries Entries(const std::vector<sim::MenuItem>& items)
{
    sim::MenuEntries entries;
    for (const auto& item : items) {
        entries.push_back({item.id, item.text, item.flags});
    }
    return entries;
}

// The scripted choice when the menu holds it; otherwise nothing is picked.
UINT_PTR Pick(const std::vector<sim::MenuItem>& items)
{
    const UINT_PTR wanted = sim::Menus().choice;
    const bool held = std::any_of(items.begin(), items.end(),
                                  [wanted](const sim::MenuItem& item) { return item.id == wanted; });
    return held ? wanted : 0;
}

}  // namespace

namespace sim {

MenuState& Menus()
{
    return DeviceState<MenuState>();
}

}  // namespace sim

HMENU CreatePopupMenu()
{
    auto& phone = Phone::Get();
    auto& state = sim::Menus();
    HMENU menu = nullptr;
    if (!phone.ShouldFail("CreatePopupMenu")) {
        const std::uintptr_t value = state.nextHandle;
        state.nextHandle += 2;
        state.menus[value];
        ++state.created;
        menu = reinterpret_cast<HMENU>(value);  // NOLINT(performance-no-int-to-ptr)
    }
    phone.Record("program", "CreatePopupMenu", {}, {{"result", sim::HandleOf(menu)}});
    return menu;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text)
{
    auto& phone = Phone::Get();
    std::vector<sim::MenuItem>* items = LiveMenu(menu);
    const bool ok = items != nullptr && !phone.ShouldFail("AppendMenuW");
    const WString itemText = text != nullptr ? WString(text) : WString();
    if (ok) {
        items->push_back({flags, id, itemText});
    }
    phone.Record(
        "program", "AppendMenuW",
        {{"menu", sim::HandleOf(menu)}, {"flags", sim::Int(flags)}, {"id", sim::Int(id)}, {"text", itemText}},
        {{"result", ok}});
    return ok ? TRUE : FALSE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params)
{
    auto& phone = Phone::Get();
    const std::vector<sim::MenuItem>* items = LiveMenu(menu);
    const sim::Window* ownerWindow = phone.FindWindow(owner);
    const bool shows = items != nullptr && ownerWindow != nullptr && !ownerWindow->destroyed &&
                       !phone.ShouldFail("TrackPopupMenuEx");
    UINT_PTR chosen = 0;
    sim::Fields given = {
        {"menu", sim::HandleOf(menu)},   {"flags", sim::Int(flags)},   {"x", sim::Int(x)}, {"y", sim::Int(y)},
        {"owner", sim::HandleOf(owner)}, {"params", params != nullptr}};
    if (shows) {
        chosen = Pick(*items);
        sim::Menus().shown.push_back({*items, flags, x, y, owner, params != nullptr, chosen});
        given.push_back({"items", Entries(*items)});
    }
    phone.Record("program", "TrackPopupMenuEx", std::move(given),
                 {{"shown", shows}, {"chosen", sim::Int(chosen)}});
    // Without TPM_RETURNCMD the choice goes to the owner as WM_COMMAND, and the answer is only
    // whether the menu was shown.
    if ((flags & TPM_RETURNCMD) == 0) {
        if (chosen != 0) {
            const MSG command{owner, kWmCommand, chosen, 0, static_cast<DWORD>(phone.Now()), {}};
            sim::Window& target = *phone.FindWindow(owner);
            auto& inbox = target.processId == sim::kProgramProcessId ? phone.queue : target.received;
            inbox.push_back(command);
        }
        return shows ? TRUE : FALSE;
    }
    return static_cast<BOOL>(chosen);
}

BOOL DestroyMenu(HMENU menu)
{
    auto& phone = Phone::Get();
    auto& state = sim::Menus();
    const bool ok = state.menus.erase(reinterpret_cast<std::uintptr_t>(menu)) == 1;
    if (ok) {
        ++state.destroyed;
    }
    phone.Record("program", "DestroyMenu", {{"menu", sim::HandleOf(menu)}}, {{"result", ok}});
    return ok ? TRUE : FALSE;
}
