#include "app/app_state.h"
#include "app/command_line.h"
#include "app/control_window.h"
#include "app/send_sequence.h"
#include "platform/process.h"

namespace {

constexpr const WCHAR* kInstanceMutex = WTEXT("{D606D096-49DC-43e1-93E8-BF51F4A730FF}");

// Creates the single-instance mutex and keeps it until the process ends: its handle is
// deliberately never closed. Answers false when another copy holds it.
bool ClaimSingleInstance()
{
    CreateMutexW(nullptr, TRUE, kInstanceMutex);
    return GetLastError() != ERROR_ALREADY_EXISTS;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR commandLine, int /*showCommand*/)
{
    AppState::instance = instance;
    if (!ClaimSingleInstance()) {
        return kExitAlreadyRunning;
    }
    ParseCommandLine(commandLine);
    ControlWindow control(instance);
    if (!control.Create(ControlWindowProc)) {
        return AppState::runFailed ? kExitRunFailed : kExitDone;
    }
    const int code = control.Run();
    return AppState::runFailed ? kExitRunFailed : code;
}
