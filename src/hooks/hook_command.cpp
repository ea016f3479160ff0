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

// Only the verb, the program and its parameters are set, so the shell keeps no process handle
// for us and the program is never waited for. The one flag keeps a failed start quiet: without
// it the shell reports a missing program in a box of its own and the run stalls until someone
// closes it, and Quillet shows nothing but its menu.
int LaunchProgram(const WString& program, const WString& parameters)
{
    if (program.empty()) {
        return 0;
    }
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_FLAG_NO_UI;
    request.lpVerb = WTEXT("Open");
    request.lpFile = program.c_str();
    request.lpParameters = parameters.c_str();
    request.nShow = SW_HIDE;
    return ShellExecuteExW(&request);
}
