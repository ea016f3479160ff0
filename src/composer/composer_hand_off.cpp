#include "app/app_state.h"
#include "composer/compose_window.h"
#include "composer/hand_off.h"

int HandOffToComposer(HWND window)
{
    if (IsComposeWindow(window) == 0) {
        // Another window of the Messaging program: its left soft key does its own thing, and
        // no mail was sent by it.
        PressLeftSoftKey(window);
        return 0;
    }
    return AppState::showMenu != 0 ? ShowSendMenu(window) : SendAndCheckOutbox(window);
}
