// Which process owns a window of another program.
#pragma once

#include <optional>

#include "platform/types.h"

// The owning process's identifier, or nothing when the platform can't name it (no window, or
// one that has just been destroyed). An unnamed owner must never match a real process, not
// even one whose identifier is 0, so it is kept apart from every value.
std::optional<DWORD> WindowProcessId(HWND window);
