#include "composer/compose_window.h"
#include "composer/hand_off.h"
#include "mapi/outbox.h"

int SendAndCheckOutbox(HWND window)
{
    if (PressLeftSoftKey(window) == 0) {
        return 0;
    }
    // The click is only posted: the draft may not have arrived yet, but mail that waited in
    // the Outbox before counts the same.
    return OutboxHasMail() ? 1 : 0;
}
