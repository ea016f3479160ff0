#include "composer/compose_window.h"
#include "composer/hand_off.h"
#include "platform/menu.h"

namespace {

// A popup menu for one showing, destroyed when the showing is over.
class PopupMenu {
public:
    PopupMenu() : menu_(CreatePopupMenu()) {}
    ~PopupMenu()
    {
        if (menu_ != nullptr) {
            DestroyMenu(menu_);
        }
    }
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    PopupMenu(PopupMenu&&) = delete;
    PopupMenu& operator=(PopupMenu&&) = delete;

    [[nodiscard]] HMENU Get() const noexcept { return menu_; }

private:
    HMENU menu_;
};

bool AddChoices(const PopupMenu& menu)
{
    return menu.Get() != nullptr &&
           AppendMenuW(menu.Get(), MF_STRING, IDM_SEND_AT_ONCE, WTEXT("すぐに送信")) != FALSE &&
           AppendMenuW(menu.Get(), MF_STRING, IDM_TO_OUTBOX, WTEXT("「送信トレイ」へ")) != FALSE;
}

// Shows the menu opening upwards from the window's bottom-left corner and answers the chosen
// command, or 0 when none was chosen or the menu couldn't be built. The menu is gone once
// this returns.
UINT AskSendChoice(HWND window)
{
    const PopupMenu menu;
    if (!AddChoices(menu)) {
        return 0;
    }
    // An unreadable rectangle leaves the menu at the screen's corner: only the choice matters.
    RECT rect{};
    GetWindowRect(window, &rect);
    const BOOL chosen = TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_LEFTALIGN,
                                         rect.left, rect.bottom, window, nullptr);
    return static_cast<UINT>(chosen);
}

}  // namespace

int ShowSendMenu(HWND window)
{
    switch (AskSendChoice(window)) {
        case IDM_SEND_AT_ONCE: return SendAndCheckOutbox(window);
        case IDM_TO_OUTBOX: PressLeftSoftKey(window); return 0;
        default: return 0;
    }
}
