// Hook values started through the real shell: the recorder program writes the command line it
// was given, so the split at the first "|" is checked as the started program sees it.
#include <windows.h>
// windows.h leaves the shell out under WIN32_LEAN_AND_MEAN.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "file_system.h"
#include "hooks/hook_command.h"
#include "platform/first_use.h"

// The program's slot for ShellExecuteExW. The SDK header declares the function as imported, so
// program code calls it through this slot; the platform layer defines the slot itself, since it
// loads shell32 only when the first hook is started.
using ShellStart = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
extern "C" ShellStart programShellExecuteExW __asm__(QUILLET_IMPORT_SLOT(ShellExecuteExW, 4));

namespace {

// Bounds a wait for a program that was never started; not a measure of anything.
constexpr auto kRecordDeadline = std::chrono::seconds(30);

class HookLaunch : public ::testing::Test {
protected:
    // Starts value with the recorder writing to a file of its own; the recorded command line,
    // or nullopt when none came before the deadline.
    std::optional<WString> StartAndRecord(const WString& value)
    {
        const WString record = wintest::Join(scratch_.Path(), L"record-" + std::to_wstring(++records_));
        SetEnvironmentVariableW(L"QUILLET_HOOK_RECORD", record.c_str());
        EXPECT_EQ(RunHookCommand(value), 1);
        const auto until = std::chrono::steady_clock::now() + kRecordDeadline;
        while (std::chrono::steady_clock::now() < until) {
            if (const auto bytes = wintest::ReadBytes(record)) {
                return WString(reinterpret_cast<const WCHAR*>(bytes->data()), bytes->size() / sizeof(WCHAR));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    [[nodiscard]] const WString& Scratch() const { return scratch_.Path(); }

private:
    wintest::ScratchFolder scratch_;
    int records_ = 0;
};

// Stands between the program code and the shell for as long as it lives: each ShellExecuteExW
// request's flags are recorded and the request is passed on unchanged to shell32's own function.
// The program code is linked into this executable, so its calls go through the slot replaced here.
class ShellRequestSpy {
public:
    ShellRequestSpy() : previous_(programShellExecuteExW)
    {
        masks_.clear();
        const HMODULE shell = LoadLibraryW(L"shell32.dll");
        real_ = reinterpret_cast<Launch>(
            reinterpret_cast<void*>(shell != nullptr ? GetProcAddress(shell, "ShellExecuteExW") : nullptr));
        if (real_ != nullptr) {
            programShellExecuteExW = &Record;
        }
    }
    ~ShellRequestSpy() { programShellExecuteExW = previous_; }
    ShellRequestSpy(const ShellRequestSpy&) = delete;
    ShellRequestSpy& operator=(const ShellRequestSpy&) = delete;
    ShellRequestSpy(ShellRequestSpy&&) = delete;
    ShellRequestSpy& operator=(ShellRequestSpy&&) = delete;

    [[nodiscard]] bool Installed() const noexcept { return real_ != nullptr; }
    [[nodiscard]] static const std::vector<ULONG>& Masks() noexcept { return masks_; }

private:
    using Launch = ShellStart;

    static BOOL WINAPI Record(SHELLEXECUTEINFOW* request)
    {
        masks_.push_back(request->fMask);
        return real_(request);
    }

    Launch previous_;
    inline static Launch real_ = nullptr;
    inline static std::vector<ULONG> masks_;
};

struct CommandLine {
    WString program;
    WString parameters;
};

// A Windows command line: the program, quoted when it was given in quotes, then a blank and
// the parameters as they were passed.
CommandLine Split(const WString& line)
{
    std::size_t end = 0;
    WString program;
    if (!line.empty() && line[0] == L'"') {
        end = line.find(L'"', 1);
        program = line.substr(1, end - 1);
        end = end == WString::npos ? line.size() : end + 1;
    } else {
        end = std::min(line.find(L' '), line.size());
        program = line.substr(0, end);
    }
    WString rest = line.substr(end);
    if (!rest.empty() && rest[0] == L' ') {
        rest.erase(0, 1);
    }
    return {program, rest};
}

TEST_F(HookLaunch, ProgramGetsTheTextAfterTheFirstBar)
{
    const WString recorder = wintest::BesideModule(L"hook_recorder.exe");
    struct Case {
        WString tail;  // after the recorder's path in the hook value
        WString parameters;
    };
    const std::vector<Case> cases = {
        {L"|a|b  c|", L"a|b  c|"},
        {L"|引数 \"two words\" /x", L"引数 \"two words\" /x"},
        {L"|", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(wintest::Narrow(c.tail));
        const auto line = StartAndRecord(recorder + c.tail);
        ASSERT_TRUE(line) << "the hook never ran";
        const CommandLine started = Split(*line);
        EXPECT_EQ(started.program, recorder);
        // Whether an empty parameter text leaves a trailing blank is the shell's affair.
        EXPECT_EQ(started.parameters, c.parameters) << wintest::Narrow(*line);
    }
}

// Hooks live in folders such as "\Program Files\...": blanks and Japanese in the program part
// belong to the program, and the shell must start it as one name.
TEST_F(HookLaunch, ProgramInAFolderWithBlanksAndJapanese)
{
    const WString folder = wintest::Join(Scratch(), L"フック テスト");
    ASSERT_TRUE(wintest::MakeFolder(folder));
    const WString program = wintest::Join(folder, L"記録 する.exe");
    ASSERT_TRUE(CopyFileW(wintest::BesideModule(L"hook_recorder.exe").c_str(), program.c_str(), TRUE));
    const auto line = StartAndRecord(program + L"|送信 後");
    ASSERT_TRUE(line) << "the hook never ran";
    EXPECT_EQ(Split(*line).program, program);
    EXPECT_EQ(Split(*line).parameters, L"送信 後");
}

// A program that can't be found must not be reported in a box of the shell's own: the run
// would wait until someone closed it. Any box is closed here as a person would, from another
// thread, so that a regression fails instead of hanging.
class ErrorBoxCloser {
public:
    ErrorBoxCloser()
        : thread_([this](const std::stop_token& stop) {
              while (!stop.stop_requested()) {
                  EnumWindows(&ErrorBoxCloser::CloseIfOurs, reinterpret_cast<LPARAM>(this));
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
    {
    }

    [[nodiscard]] int Closed() const noexcept { return closed_; }

private:
    static BOOL CALLBACK CloseIfOurs(HWND window, LPARAM self)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        WCHAR className[64] = {};
        GetClassNameW(window, className, 64);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) != FALSE &&
            WStringView(className) == L"#32770") {
            PostMessageW(window, WM_CLOSE, 0, 0);
            ++reinterpret_cast<ErrorBoxCloser*>(self)->closed_;
        }
        return TRUE;
    }

    std::atomic<int> closed_{0};
    std::jthread thread_;
};

// The "send" and "after" hooks are started right before the program exits, so the desktop
// shell is asked to see each start through before the call returns; a failure stays quiet.
TEST_F(HookLaunch, StartIsSeenThroughBeforeTheCallReturns)
{
    const ShellRequestSpy spy;
    ASSERT_TRUE(spy.Installed());
    const auto line = StartAndRecord(wintest::BesideModule(L"hook_recorder.exe") + L"|x");
    ASSERT_TRUE(line) << "the hook never ran";
    EXPECT_EQ(ShellRequestSpy::Masks(), std::vector<ULONG>{SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC});
}

TEST_F(HookLaunch, ProgramThatDoesNotExistIsNotAFailure)
{
    const WString missing = wintest::Join(Scratch(), L"無い.exe");
    const ErrorBoxCloser closer;
    EXPECT_EQ(LaunchProgram(missing, L"x"), 0);
    EXPECT_EQ(RunHookCommand(missing + L"|x"), 1);
    EXPECT_EQ(closer.Closed(), 0);
}

}  // namespace
