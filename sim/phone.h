// The simulated phone: one in-process model of the device that the platform functions act on.
//
// Program code never includes this header; tests and the runner do, to set the device up, to
// play the other parties and to read what happened.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/types.h"
#include "platform/window.h"
#include "sim/trace.h"

namespace sim {

// The program's own process on the phone.
constexpr DWORD kProgramProcessId = 1000;

std::string Utf8(WStringView text);
WString Utf16(std::string_view text);

// Raised out of GetMessageW when the program would wait for ever (nothing queued, no timer,
// nothing scheduled), and when the run passes its time limit. Neither is a failure of the
// program's own making, so the runner and the tests catch these, never the program.
struct RunStopped {
    enum class Reason { WouldWaitForEver, TimeLimit, Interrupted } reason;
};

// Asks the run to stop (Reason::Interrupted) the next time the program waits for a message.
// Safe to call from a signal handler: the signal's number is all it stores.
void RequestStop(int signal) noexcept;
// The signal that asked the run to stop, or 0.
int StopSignal() noexcept;

// Anything a HANDLE can stand for: a mutex, a file, a snapshot.
struct HandleObject {
    explicit HandleObject(std::string kindName, WString objectName = {})
        : kind(std::move(kindName)), name(std::move(objectName))
    {
    }
    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;
    virtual ~HandleObject() = default;
    std::string kind;
    WString name;  // a named object's name
};

struct Window {
    HWND handle = nullptr;
    WString className;
    WString title;
    HWND parent = nullptr;
    std::vector<HWND> children;  // in order: the first is what GetWindow(GW_CHILD) answers
    DWORD processId = 0;
    RECT rect{};
    // As the program's CreateWindowExW gave them; another program's window is plain.
    DWORD style = 0;
    DWORD exStyle = 0;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID createParam = nullptr;
    // While CreateWindowExW makes the window: the creation record it hands the procedure.
    const CREATESTRUCTW* creation = nullptr;
    WNDPROC proc = nullptr;  // set for the program's own windows only
    bool destroyed = false;
    std::vector<MSG> received;  // messages posted to another program's window
    // How the window's owner reacts to a message posted to it (another program's window).
    std::function<void(const MSG&)> onPosted;
};

// One open of a file: its access (GENERIC_READ, GENERIC_WRITE) and its share mode
// (FILE_SHARE_READ, FILE_SHARE_WRITE).
struct FileShare {
    DWORD access = 0;
    DWORD shareMode = 0;
};

// Another program opens the file at path, as the platform would let it beside the program's
// open files and the other holds; when it may, the hold is kept in Phone::heldFiles.
bool OpenElsewhere(const WString& path, FileShare open);

struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Registry value types besides REG_DWORD, as the platform numbers them.
constexpr DWORD kRegString = 1;  // REG_SZ: UTF-16 text and its terminator
constexpr DWORD kRegBinary = 3;  // REG_BINARY
// ERROR_MORE_DATA: a value larger than the caller's buffer.
constexpr LONG kErrorMoreData = 234;

// The phone's own software, which owns Status15.
struct PhoneService {
    enum class Behaviour {
        Finishes,       // an exchange of exchangeLength, then the value is removed
        NeverFinishes,  // the value is never removed
        KeyAbsent,      // "Software\Sharp\PhoneStatus" does not exist at all
    };
    Behaviour behaviour = Behaviour::Finishes;
    Millis exchangeLength = 2000;
    // What an exchange leaves in Status15 when it ends; without it the value is removed.
    std::optional<RegistryValue> leftAtEnd;
    // Run when an exchange is over, just before the value is removed (the message store uses
    // it to send what waits in the Outbox).
    std::function<void()> onExchangeOver;
};

class Phone {
public:
    static Phone& Get();

    // Back to a phone fresh from the box; subsystems registered with OnReset follow.
    void Reset();

    // The program's process ends, as at exit: its window classes, windows, queue, timers and
    // handles go, and with its mutex handles the names they held. The rest of the phone stays,
    // so that the program can be started again.
    void EndProgram();
    void OnReset(std::function<void()> reset);

    // Time. Virtual by default: an idle message loop jumps to the next due event.
    [[nodiscard]] Millis Now() const;
    void UseRealTime(bool real);
    [[nodiscard]] bool RealTime() const { return realTime_; }
    void SetTimeLimit(std::optional<Millis> limit) { timeLimit_ = limit; }
    void Schedule(Millis delay, std::function<void()> action);
    // After the program's exit: what the other parties still have scheduled happens, in time
    // order, up to the time limit. Answers false when the limit cut something off.
    bool RunRemainingEvents();

    // The trace of every platform call and every action of the other parties.
    void Record(std::string actor, std::string what, Fields args = {}, Fields result = {});
    [[nodiscard]] const std::vector<TraceEvent>& Trace() const { return trace_; }
    [[nodiscard]] std::vector<TraceEvent> TraceOf(const std::string& what) const;
    // Called for every event as it is recorded (the runner's live timeline).
    std::function<void(const TraceEvent&)> onRecord;
    // Whether Trace() keeps the events; a reader that takes each as it comes (the runner)
    // turns it off, so that a long run holds no trace. Reset turns it back on.
    bool keepTrace = true;

    // Failure injection by call name: nth == 0 fails every call, otherwise only the nth.
    void Fail(const std::string& call, int nth = 0);
    bool ShouldFail(const std::string& call);
    // Every call name a failure can be put at, in order. Asking ShouldFail or Fail about any
    // other name ends the process, so that a new point of failure can't be left off this list.
    [[nodiscard]] static const std::vector<std::string>& InjectableCalls();
    [[nodiscard]] int CallCount(const std::string& call) const;
    // Every call name asked about so far, with how often: the points a failure can be put at.
    [[nodiscard]] const std::map<std::string, int>& CallCounts() const { return calls_; }

    // Handles.
    HANDLE AddHandle(std::unique_ptr<HandleObject> object);
    HandleObject* FindHandle(HANDLE handle, const std::string& kind);
    bool CloseHandle(HANDLE handle);
    [[nodiscard]] std::size_t OpenHandles(const std::string& kind) const;
    [[nodiscard]] std::vector<const HandleObject*> HandlesOf(const std::string& kind) const;

    DWORD lastError = 0;

    // The program's own module.
    WString moduleFileName = WTEXT("/phone/Program Files/Quillet/quillet.exe");

    // Named mutexes that exist system-wide (a running copy holds one).
    std::set<WString> mutexes;

    // Files the program finds locked by someone else: held open for reading and writing and
    // shared with no one, so that every open of them fails with a sharing violation.
    std::set<WString> lockedFiles;

    // Files other programs hold open, by path, with what each does and lets others do. An
    // open, the program's or another program's, succeeds only where every open already made of
    // the file shares what it asks for, and it shares what each of them does.
    std::multimap<WString, FileShare> heldFiles;

    // With filesInMemory set, the phone's files are the bytes in memoryFiles, by path, instead
    // of files on the machine's disk: a test that needs only the bytes (a fuzzer, thousands of
    // files a second) puts them here and reads back what the program wrote. There are no
    // folders then, so a file can be made at any path. The program still opens, reads and
    // writes them through the same calls, with the same share rules and failures.
    bool filesInMemory = false;
    std::map<WString, std::string> memoryFiles;

    // Windows, the program's own and those of other programs.
    Window& AddWindow(const WString& className, DWORD processId, HWND parent = nullptr);
    Window* FindWindow(HWND handle);
    HWND foreground = nullptr;
    // The program's registered window classes, as registered (the names' pointers are the
    // program's: compared, never read).
    std::map<WString, WNDCLASSW> classes;
    [[nodiscard]] std::vector<HWND> WindowsInCreationOrder() const;

    // The program's message queue and timers.
    struct Timer {
        HWND window;
        UINT_PTR id;
        Millis period;
        Millis due;
    };
    std::vector<MSG> queue;
    std::vector<Timer> timers;
    std::optional<int> quitCode;

    // HKEY_CURRENT_USER: key path -> value name -> value.
    std::map<WString, std::map<WString, RegistryValue>> registry;
    std::size_t openKeys = 0;

    PhoneService phoneService;

    // Takes the next message as GetMessageW does, advancing time while the program is idle.
    bool NextMessage(MSG& msg);

private:
    Phone();
    void RunDueEvents();
    void WaitTowards(Millis at);
    void ResetCore();

    struct Event {
        Millis at;
        std::uint64_t order;
        std::function<void()> action;
    };

    bool realTime_ = false;
    Millis virtualNow_ = 0;
    std::int64_t realStart_ = 0;
    std::optional<Millis> timeLimit_;
    std::vector<Event> events_;
    std::uint64_t eventOrder_ = 0;
    std::vector<TraceEvent> trace_;
    std::map<std::string, int> failAt_;
    std::map<std::string, int> calls_;
    std::map<std::uintptr_t, std::unique_ptr<HandleObject>> handles_;
    std::uintptr_t nextHandle_ = 0x100;
    std::map<std::uintptr_t, Window> windows_;
    std::uintptr_t nextWindow_ = 0x10000;
    std::vector<std::function<void()>> resets_;
};

// State of one subsystem of the simulated phone, put back to new by Phone::Reset.
template <class T>
T& DeviceState()
{
    static T state;
    static const bool registered = [] {
        Phone::Get().OnReset([] { state = T{}; });
        return true;
    }();
    (void)registered;
    return state;
}

// The key and value that the phone's software owns.
inline const WString kPhoneStatusKey = WTEXT("Software\\Sharp\\PhoneStatus");
inline const WString kStatusValue = WTEXT("Status15");

}  // namespace sim
