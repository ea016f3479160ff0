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
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "common/standin.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Sharp\\PhoneStatus";
constexpr wchar_t kValue[] = L"Status15";
constexpr DWORD kPollMs = 5;

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
            if (!Exchange(mode, exchangeMs, acknowledge)) {
                break;
            }
        }
        if (!Wait(kPollMs)) {
            break;
        }
    }
    // The program never creates the key: record whether it is there at the end.
    HKEY key = nullptr;
    const bool present = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (present) {
        RegCloseKey(key);
    }
    Log("end", present ? "key=present" : "key=absent");
    return 0;
}
