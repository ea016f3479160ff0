#include "composer/compose_window.h"
#include "composer/window_owner.h"
#include "platform/window.h"

namespace {

constexpr const WCHAR* kSoftKeyBarClass = WTEXT("MS_SOFTKEY_CE_1.0");

}  // namespace

int PressLeftSoftKey(HWND window)
{
    HWND bar = FindWindowW(kSoftKeyBarClass, nullptr);
    if (bar == nullptr) {
        return 0;
    }
    // The bar found may be another program's: click only when both owners are known and the
    // same, so that the click never lands on a program the user isn't looking at.
    const auto windowOwner = WindowProcessId(window);
    const auto barOwner = WindowProcessId(bar);
    if (!windowOwner || !barOwner || *windowOwner != *barOwner) {
        return 0;
    }
    // The bar's top-left point (0, 0) lies on the left soft key; no key or button is held.
    PostMessageW(bar, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(bar, WM_LBUTTONUP, 0, 0);
    return 1;
}
