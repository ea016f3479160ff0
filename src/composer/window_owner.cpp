#include "composer/window_owner.h"

#include "platform/window.h"

std::optional<DWORD> WindowProcessId(HWND window)
{
    DWORD processId = 0;
    // The platform writes nothing when it can't name the owner, and then answers thread 0.
    if (GetWindowThreadProcessId(window, &processId) == 0) {
        return std::nullopt;
    }
    return processId;
}
