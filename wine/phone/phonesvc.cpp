// The phone-service stand-in: it owns Status15 under HKCU\Software\Sharp\PhoneStatus, the way the
// phone's software does. --mode says how an exchange goes:
//   send    the exchange sends the Outbox mail (empties every Outbox file), then removes the value;
//   leave   the exchange leaves the mail where it is, then removes the value;
//   never   the exchange never ends: the value stays;
//   hold    the exchange ends (as leave) only once the driver creates the file "release";
//   absent  there is no phone software: the key itself is missing.
// --exchange is the exchange's length in milliseconds. Each write of the value, its removal and
// the state of the key at the end are recorded in phone.log. A write during an exchange (a second
// request while the first is served) is recorded too, from the key's change notification. The
// registry reports no change when a value is set to what it already holds, so --acknowledge N
// has the phone turn the request into N as soon as it takes it up, the way a phone may mark the
// exchange as running: a later write of 1 then shows.
//
// Two more records serve the driver. When a request arrives, the program that made it is polling
// with its hidden window up: "control" records that window as this other process sees it. When
// the driver asks the parties to stop, which it does only once the program has exited, "quiet"
// records how many hook programs are still running once none is left (or the wait gave up): the
// program starts hooks only while it runs, so after "quiet hooks=0" none can still start or record.
// A settle request while the program runs is answered the same way, as "settled N hooks=...".
#include <windows.h>

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "common/standin.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Sharp\\PhoneStatus";
constexpr wchar_t kValue[] = L"Status15";
constexpr DWORD kPollMs = 5;
constexpr long long kQuietPatienceMicroseconds = 8 * 1000000LL;  // inside the driver's wait for a party

std::wstring logFile;

void Log(const std::string& what, const std::string& detail = {})
{
    standin::Record(logFile, what, detail);
}

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

Key OpenKey()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return Key(key);
}

// The value as the program wrote it, or nothing while it is absent.
bool ReadStatus(DWORD& status)
{
    const Key key = OpenKey();
    DWORD type = 0;
    DWORD size = sizeof status;
    return key && RegQueryValueExW(key.get(), kValue, nullptr, &type, reinterpret_cast<BYTE*>(&status),
                                   &size) == ERROR_SUCCESS;
}

void WriteStatus(DWORD status)
{
    const Key key = OpenKey();
    if (key) {
        RegSetValueExW(key.get(), kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&status),
                       sizeof status);
    }
}

void RemoveStatus()
{
    const Key key = OpenKey();
    if (key) {
        RegDeleteValueW(key.get(), kValue);
    }
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Event = std::unique_ptr<void, HandleCloser>;

// Watches the key for values being set while an exchange runs, and records each value written.
class WriteWatch {
public:
    WriteWatch() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ | KEY_NOTIFY, &key) == ERROR_SUCCESS) {
            key_.reset(key);
        }
        Arm();
    }

    void Check()
    {
        if (!key_ || !event_ || WaitForSingleObject(event_.get(), 0) != WAIT_OBJECT_0) {
            return;
        }
        Arm();
        DWORD status = 0;
        if (ReadStatus(status)) {
            Log("written", std::to_string(static_cast<LONG>(status)));
        }
    }

private:
    void Arm()
    {
        if (key_ && event_) {
            RegNotifyChangeKeyValue(key_.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_.get(), TRUE);
        }
    }

    Key key_;
    Event event_;
};

// Set while an exchange runs.
std::optional<WriteWatch> watch;

void AnswerSettle();

// Waits for the given number of milliseconds, or until the driver asks the stand-in to stop.
// Answers false when stopped.
bool Wait(DWORD milliseconds)
{
    const long long until = standin::NowMicroseconds() + static_cast<long long>(milliseconds) * 1000;
    while (standin::NowMicroseconds() < until) {
        if (standin::StopRequested()) {
            return false;
        }
        if (watch) {
            watch->Check();
        }
        AnswerSettle();
        Sleep(kPollMs);
    }
    return true;
}

bool WaitForFile(const std::wstring& file)
{
    while (!standin::FileExists(file)) {
        if (!Wait(kPollMs)) {
            return false;
        }
    }
    return true;
}

std::string Hex(unsigned long long value)
{
    std::array<char, 24> text{'0', 'x'};
    const auto end = std::to_chars(text.data() + 2, text.data() + text.size(), value, 16).ptr;
    return {text.data(), end};
}

struct SnapshotCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Snapshot = std::unique_ptr<void, SnapshotCloser>;

// The executable names of the running processes with this process identifier (all, for 0).
std::vector<std::wstring> ProcessNames(DWORD only = 0)
{
    std::vector<std::wstring> names;
    const Snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        return names;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (only == 0 || entry.th32ProcessID == only) {
            names.emplace_back(entry.szExeFile);
        }
    }
    return names;
}

int HookProcesses()
{
    int count = 0;
    for (const std::wstring& name : ProcessNames()) {
        count += lstrcmpiW(name.c_str(), L"hookrec.exe") == 0 ? 1 : 0;
    }
    return count;
}

// Waits until no hook program runs any more, or gives up; answers how many are left.
int HooksLeftWhenQuiet()
{
    const long long until = standin::NowMicroseconds() + kQuietPatienceMicroseconds;
    int running = HookProcesses();
    while (running != 0 && standin::NowMicroseconds() < until) {
        Sleep(kPollMs);
        running = HookProcesses();
    }
    return running;
}

// A settle request is answered once no hook program runs: one the program started before the
// request has recorded itself by then.
void AnswerSettle()
{
    static int settled = 0;
    if (const int request = standin::SettleRequested(settled); request != 0) {
        Log("settled", std::to_string(request) + " hooks=" + std::to_string(HooksLeftWhenQuiet()));
    }
}

// The program's hidden window as another process sees it: its process, the class's style, its
// own styles, place and size (beside the smallest the platform lets such a window be), its
// visibility, parent and owner, and last its title. A class's background can't be read from
// another process under Wine: the white stock brush, the same in every process, is recorded for
// the driver to hold against the program's own registration.
void RecordControlWindow()
{
    HWND window = FindWindowW(L"HIDE_WINDOW", nullptr);
    if (window == nullptr) {
        Log("control", "none");
        return;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const std::vector<std::wstring> names = ProcessNames(process);
    RECT rect{};
    GetWindowRect(window, &rect);
    std::array<wchar_t, MAX_PATH + 1> title{};
    GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    const auto white = reinterpret_cast<ULONG_PTR>(GetStockObject(WHITE_BRUSH));
    Log("control", "process=" + standin::Utf8(names.empty() ? L"?" : names.front()) +
                       " classstyle=" + Hex(GetClassLongW(window, GCL_STYLE)) + " white=" + Hex(white) +
                       " style=" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
                       " exstyle=" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) +
                       " rect=" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                       std::to_string(rect.right) + "," + std::to_string(rect.bottom) +
                       " mintrack=" + std::to_string(GetSystemMetrics(SM_CXMINTRACK)) + "," +
                       std::to_string(GetSystemMetrics(SM_CYMINTRACK)) +
                       " visible=" + (IsWindowVisible(window) ? "yes" : "no") +
                       " toplevel=" + (GetAncestor(window, GA_PARENT) == GetDesktopWindow() ? "yes" : "no") +
                       " owner=" + Hex(reinterpret_cast<ULONG_PTR>(GetWindow(window, GW_OWNER))) +
                       " title=" + standin::Utf8(title.data()));
}

// Sends what waits in every store's Outbox: the Outbox files are emptied.
int SendOutboxMail()
{
    int sent = 0;
    for (int store = 0; store < 10; ++store) {
        const std::wstring file = standin::StatePath(L"outbox-" + std::to_wstring(store) + L".txt");
        if (standin::FileExists(file)) {
            sent += static_cast<int>(standin::ReadLines(file).size());
            standin::WriteLines(file, {});
        }
    }
    return sent;
}

void Prepare(const std::wstring& mode)
{
    if (mode == L"absent") {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        return;
    }
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    const Key owned(key);
    RegDeleteValueW(key, kValue);
}

// The exchange itself, up to the moment the value is to go. Answers false when stopped.
bool Serve(const std::wstring& mode, DWORD exchangeMs)
{
    if (mode == L"never") {
        while (Wait(kPollMs)) {
        }
        return false;
    }
    if (mode == L"hold") {
        if (!WaitForFile(standin::StatePath(L"release"))) {
            return false;
        }
    } else if (!Wait(exchangeMs)) {
        return false;
    }
    if (mode == L"send") {
        Log("sent", std::to_string(SendOutboxMail()));
    } else {
        Log("left");
    }
    return true;
}

// One exchange, from the request to the removal of the value. Answers false when stopped.
bool Exchange(const std::wstring& mode, DWORD exchangeMs, const std::optional<DWORD>& acknowledge)
{
    if (acknowledge) {
        WriteStatus(*acknowledge);
        Log("acknowledged", std::to_string(static_cast<LONG>(*acknowledge)));
    }
    watch.emplace();
    const bool finished = Serve(mode, exchangeMs);
    watch.reset();  // the removal below is the phone's own change
    if (finished) {
        RemoveStatus();
        Log("removed");
    }
    return finished;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    const standin::Options options(GetCommandLineW());
    const std::wstring mode = options.Get(L"mode", L"send");
    const auto exchangeMs = static_cast<DWORD>(options.GetInt(L"exchange", 1000));
    std::optional<DWORD> acknowledge;
    if (const int value = options.GetInt(L"acknowledge", 0); value != 0) {
        acknowledge = static_cast<DWORD>(value);
    }
    logFile = standin::StatePath(options.Get(L"log", L"phone") + L".log");

    Prepare(mode);
    Log("ready", standin::Utf8(mode));
    for (;;) {
        DWORD status = 0;
        if (mode != L"absent" && ReadStatus(status)) {
            Log("written", std::to_string(static_cast<LONG>(status)));
            RecordControlWindow();
            if (!Exchange(mode, exchangeMs, acknowledge)) {
                break;
            }
        }
        if (!Wait(kPollMs)) {
            break;
        }
    }
    Log("quiet", "hooks=" + std::to_string(HooksLeftWhenQuiet()));
    // The program never creates the key: record whether it is there at the end, and a value
    // left in it (one the program wrote that was never taken up).
    HKEY key = nullptr;
    const bool present = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (present) {
        RegCloseKey(key);
    }
    DWORD status = 0;
    const std::string value = ReadStatus(status) ? std::to_string(static_cast<LONG>(status)) : "none";
    Log("end", present ? "key=present value=" + value : "key=absent");
    return 0;
}
