#include "app/app_state.h"
#include "composer/compose_window.h"
#include "composer/hand_off.h"
#include "platform/window.h"
#include "shared/thrown_message.h"

namespace {

constexpr const WCHAR* kMessagingExe = WTEXT("tmail.exe");

}  // namespace

int HandOffForeground()
{
    HWND window = GetForegroundWindow();
    WString exeName;
    try {
        exeName = GetWindowExeName(window);
    } catch (const ThrownMessage&) {
        // With the process list unreadable the window is taken for the Messaging program's.
        // The check ends here: going on would press the same soft key a second time.
        return HandOffToComposer(window);
    }
    if (exeName == kMessagingExe) {
        return HandOffToComposer(window);
    }
    if (AppState::touchLeft != 0) {
        PressLeftSoftKey(window);
    }
    return 0;
}
