#include <algorithm>
#include <iterator>

#include "composer/hand_off.h"
#include "composer/window_owner.h"
#include "platform/toolhelp.h"
#include "shared/thrown_message.h"

namespace {

// A snapshot of the process list, closed exactly once whichever way the walk ends.
//
// Only INVALID_HANDLE_VALUE is the platform's "no snapshot". A null handle is taken as a list
// in which no process is found: the window then counts as another program's, which presses
// nothing without /touchleft, where an unreadable list would hand the window to the composer.
// A null handle names nothing the program was given, so it is never closed: desktop Windows
// treats closing it as a misuse (an invalid-handle exception under a debugger).
class ProcessSnapshot {
public:
    ProcessSnapshot() : handle_(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0))
    {
        if (handle_ == INVALID_HANDLE_VALUE) {
            throw ThrownMessage(WTEXT("Snapshotが作成できませんでした。"));
        }
    }
    ~ProcessSnapshot()
    {
        if (handle_ != nullptr) {
            CloseToolhelp32Snapshot(handle_);
        }
    }
    ProcessSnapshot(const ProcessSnapshot&) = delete;
    ProcessSnapshot& operator=(const ProcessSnapshot&) = delete;
    ProcessSnapshot(ProcessSnapshot&&) = delete;
    ProcessSnapshot& operator=(ProcessSnapshot&&) = delete;

    [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

// The entry's file name up to its terminating zero, and never past the field's end.
WString ExeFileOf(const PROCESSENTRY32W& entry)
{
    const auto* begin = std::begin(entry.szExeFile);
    return {begin, std::find(begin, std::end(entry.szExeFile), WCHAR{0})};
}

// The first listed process with this identifier names the executable; later ones are not
// looked at.
WString FindExeName(const ProcessSnapshot& snapshot, DWORD processId)
{
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL delivered = Process32FirstW(snapshot.Get(), &entry); delivered != FALSE;
         delivered = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == processId) {
            return ExeFileOf(entry);
        }
    }
    return {};
}

}  // namespace

WString GetWindowExeName(HWND window)
{
    const auto owner = WindowProcessId(window);
    const ProcessSnapshot snapshot;
    if (!owner) {
        return {};
    }
    return FindExeName(snapshot, *owner);
}
