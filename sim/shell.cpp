// The shell of the simulated phone. Every start is recorded; a real start goes straight to
// execvp through a double fork, so no shell interprets the text, the started program is never
// waited for, and it is reparented away from us so that no zombie stays behind. What it prints
// goes to our stderr, never our stdout: a reader of our output (one JSON object per line, a
// diagram) gets our lines alone, however late the program prints.
#include "sim/shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/window.h"
#include "sim/phone.h"

namespace sim {

namespace {

constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorBadFormat = 193;

constexpr WCHAR kQuote = '"';
constexpr WCHAR kBackslash = '\\';

bool IsBlank(WCHAR unit)
{
    return unit == ' ' || unit == '\t';
}

std::optional<WString> TextOf(LPCWSTR text)
{
    return text == nullptr ? std::nullopt : std::optional<WString>(text);
}

bool OtherFieldsZero(const SHELLEXECUTEINFOW& info)
{
    return info.hInstApp == nullptr && info.lpIDList == nullptr && info.lpClass == nullptr &&
           info.hkeyClass == nullptr && info.dwHotKey == 0 && info.hIcon == nullptr &&
           info.hProcess == nullptr;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case ENOEXEC: return kErrorBadFormat;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;
    }
}

void WriteErrno(int pipe, int error)
{
    // Nothing can be done in a child about a failed report; the parent then sees success.
    [[maybe_unused]] const auto written = ::write(pipe, &error, sizeof error);
}

// Only async-signal-safe calls between fork and exec: the argument vector is built before.
[[noreturn]] void RunChild(char* const* argv, int reportPipe, int nullInput)
{
    const pid_t program = ::fork();
    if (program == 0) {
        ::setsid();
        if (nullInput >= 0) {
            ::dup2(nullInput, STDIN_FILENO);
        }
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::execvp(argv[0], argv);
        WriteErrno(reportPipe, errno);
        ::_exit(127);
    }
    if (program < 0) {
        WriteErrno(reportPipe, errno);
    }
    ::_exit(0);
}

// Answers 0 when the program was started, otherwise the errno that kept it from starting. The
// report pipe closes on a successful exec, so reading it waits for the start, not the program.
int StartProgram(const std::vector<std::string>& words)
{
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const auto& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    }
    argv.push_back(nullptr);

    int report[2] = {-1, -1};
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    const int nullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t middle = ::fork();
    if (middle == 0) {
        RunChild(argv.data(), report[1], nullInput);
    }
    const int forkError = errno;
    ::close(report[1]);
    if (nullInput >= 0) {
        ::close(nullInput);
    }
    if (middle < 0) {
        ::close(report[0]);
        return forkError;
    }
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

DWORD Start(const Launch& launch)
{
    std::vector<std::string> words{Utf8(launch.file)};
    for (const auto& argument : launch.arguments) {
        words.push_back(Utf8(argument));
    }
    const int error = StartProgram(words);
    return error == 0 ? ERROR_SUCCESS : ErrorFromErrno(error);
}

DWORD Outcome(const Launch& launch)
{
    auto& phone = Phone::Get();
    if (phone.ShouldFail("ShellExecuteExW")) {
        return ERROR_ACCESS_DENIED;
    }
    if (launch.file.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (Shell().reallyStart) {
        return Start(launch);
    }
    return Shell().missingPrograms.contains(launch.file) ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

Value TextOrNull(const std::optional<WString>& text)
{
    return text ? Value(*text) : Value();
}

void RecordLaunch(const Launch& launch)
{
    Phone::Get().Record("program", "ShellExecuteExW",
                        {{"verb", TextOrNull(launch.verb)},
                         {"file", launch.file},
                         {"parameters", TextOrNull(launch.parameters)},
                         {"show", Int(launch.show)}},
                        {{"result", launch.result != FALSE}, {"error", Int(launch.error)}});
}

// The shell's own message loop, inside a start: one tick of each of the program's timers.
void RunMessageLoop()
{
    ShellState& shell = Shell();
    if (!shell.dispatchesTimers || shell.inMessageLoop) {
        return;
    }
    shell.inMessageLoop = true;
    auto& phone = Phone::Get();
    const std::vector<Phone::Timer> timers = phone.timers;
    for (const Phone::Timer& timer : timers) {
        phone.Record("shell", "dispatches", {{"message", Name{"WM_TIMER"}}, {"id", Int(timer.id)}});
        // The shell's own dispatch, not one of the program's calls.
        const Window* window = phone.FindWindow(timer.window);
        if (window != nullptr && !window->destroyed && window->proc != nullptr) {
            window->proc(timer.window, WM_TIMER, timer.id, 0);
        }
    }
    shell.inMessageLoop = false;
}

Launch Request(const SHELLEXECUTEINFOW& info)
{
    Launch launch;
    launch.size = info.cbSize;
    launch.mask = info.fMask;
    launch.window = info.hwnd;
    launch.verb = TextOf(info.lpVerb);
    launch.file = info.lpFile == nullptr ? WString() : WString(info.lpFile);
    launch.parameters = TextOf(info.lpParameters);
    launch.directory = TextOf(info.lpDirectory);
    launch.show = info.nShow;
    launch.otherFieldsZero = OtherFieldsZero(info);
    launch.arguments = SplitParameters(launch.parameters.value_or(WString()));
    return launch;
}

}  // namespace

ShellState& Shell()
{
    return DeviceState<ShellState>();
}

std::vector<WString> SplitParameters(WStringView parameters)
{
    std::vector<WString> arguments;
    WString current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < parameters.size()) {
        const WCHAR unit = parameters[i];
        if (IsBlank(unit) && !quoted) {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (unit == kBackslash) {
            std::size_t count = 0;
            while (i < parameters.size() && parameters[i] == kBackslash) {
                ++count;
                ++i;
            }
            const bool beforeQuote = i < parameters.size() && parameters[i] == kQuote;
            current.append(beforeQuote ? count / 2 : count, kBackslash);
            if (beforeQuote && count % 2 == 1) {
                current += kQuote;
                ++i;
            }
            continue;
        }
        if (unit == kQuote) {
            if (quoted && i + 1 < parameters.size() && parameters[i + 1] == kQuote) {
                current += kQuote;
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += unit;
        ++i;
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace sim

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* execInfo)
{
    auto& phone = sim::Phone::Get();
    if (execInfo == nullptr) {
        phone.lastError = sim::kErrorInvalidParameter;
        phone.Record("program", "ShellExecuteExW", {{"info", sim::Value()}},
                     {{"result", false}, {"error", sim::Int(sim::kErrorInvalidParameter)}});
        return FALSE;
    }
    sim::RunMessageLoop();
    sim::Launch launch = sim::Request(*execInfo);
    const bool wellFormed = execInfo->cbSize == sizeof(SHELLEXECUTEINFOW) && execInfo->lpFile != nullptr;
    launch.error = wellFormed ? sim::Outcome(launch) : sim::kErrorInvalidParameter;
    launch.result = launch.error == ERROR_SUCCESS ? TRUE : FALSE;
    phone.lastError = launch.error;
    sim::RecordLaunch(launch);
    sim::Shell().launches.push_back(launch);
    return launch.result;
}
