// The program's single global record. One thread touches it, so it has no lock.
#pragma once

#include <optional>

#include "config/profile.h"
#include "platform/types.h"

namespace AppState {

inline HINSTANCE instance = nullptr;
inline int showMenu = 0;
inline int touchLeft = 0;

// The configuration, built on the first call of the control window's procedure. Engaged
// means created: a failed construction leaves it empty, so the next call tries again.
inline std::optional<Profile> profile;

// Set when a step of the run ended in a failure it could not handle; the run then ends with
// kExitRunFailed instead of reporting success.
inline bool runFailed = false;

}  // namespace AppState

// Exit codes of the process.
constexpr int kExitDone = 0;
constexpr int kExitAlreadyRunning = 1;
constexpr int kExitRunFailed = 2;
