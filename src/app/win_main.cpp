#include "app/app_state.h"
#include "app/command_line.h"
#include "app/control_window.h"
#include "app/send_sequence.h"
#include "app/single_instance.h"
#include "platform/process.h"

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
