#include "hooks/hook_command.h"

#include "platform/shell.h"

namespace {

constexpr WCHAR kParameterSeparator = '|';

}  // namespace

int RunHookCommand(const WString& command)
{
    const auto separator = command.find(kParameterSeparator);
    const WString program = command.substr(0, separator);
    const WString parameters = separator == WString::npos ? WString() : command.substr(separator + 1);
    // A hook that can't be started is not the run's failure: the send/receive goes on.
    LaunchProgram(program, parameters);
    return 1;
}

// Only the verb, the program, its parameters and the platform's flags are set, so the shell
// keeps no process handle for us and the program is never waited for. The flags keep a failed
// start quiet (Quillet shows nothing but its menu) and, where the shell may start in the
// background, see the start through before the program exits.
int LaunchProgram(const WString& program, const WString& parameters)
{
    if (program.empty()) {
        return 0;
    }
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request);
    request.fMask = kHookLaunchMask;
    request.lpVerb = WTEXT("Open");
    request.lpFile = program.c_str();
    request.lpParameters = parameters.c_str();
    request.nShow = SW_HIDE;
    return ShellExecuteExW(&request);
}
