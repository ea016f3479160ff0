// The program's process on the simulated phone: last error, handles, the module file name and
// named mutexes.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/process.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

// A named mutex is the phone's own, seen by this process alone, unless kMutexFolderVariable
// names a folder: then each name is also backed by an flock on a file in that folder, so that
// copies of the simulated program in separate processes keep each other out as copies on the
// phone do. The lock is held as long as the handle, and so goes with the process at the latest.
constexpr const char* kMutexFolderVariable = "QUILLET_SIM_MUTEX_DIR";

struct Mutex : sim::HandleObject {
    Mutex(const WString& mutexName, int lockFile) : HandleObject("mutex", mutexName), fd(lockFile) {}
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    ~Mutex() override
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
};

// The mutex name as a file name: characters that a path could take for a separator or worse
// are written as %XX of their UTF-8 bytes.
std::string LockFileName(const WString& name)
{
    std::string file;
    for (const char byte : sim::Utf8(name)) {
        const auto unit = static_cast<unsigned char>(byte);
        if (std::isalnum(unit) != 0 || std::string_view("{}-._").find(byte) != std::string_view::npos) {
            file += byte;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", unit);
            file += escaped;
        }
    }
    return file + ".lock";
}

struct SystemLock {
    int fd = -1;                 // the locked file, kept by the handle; -1 when none was taken
    bool heldElsewhere = false;  // another process holds the name
};

// Without the folder, or when its file can't be opened, the name is the phone's alone.
// The descriptor is never inherited, so hook programs started later can't keep the lock.
SystemLock LockSystemWide(const WString& name)
{
    const char* folder = std::getenv(kMutexFolderVariable);
    if (folder == nullptr || *folder == 0) {
        return {};
    }
    const std::string path = std::string(folder) + "/" + LockFileName(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return {};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return {-1, taken};
    }
    return {fd, false};
}

}  // namespace

DWORD GetLastError()
{
    auto& phone = Phone::Get();
    phone.Record("program", "GetLastError", {}, {{"result", sim::Int(phone.lastError)}});
    return phone.lastError;
}

void SetLastError(DWORD error)
{
    auto& phone = Phone::Get();
    phone.Record("program", "SetLastError", {{"error", sim::Int(error)}});
    phone.lastError = error;
}

BOOL CloseHandle(HANDLE object)
{
    auto& phone = Phone::Get();
    const bool closed = phone.CloseHandle(object);
    phone.Record("program", "CloseHandle", {{"handle", sim::HandleOf(object)}}, {{"result", closed}});
    return closed ? TRUE : FALSE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES /*attributes*/, BOOL initialOwner, LPCWSTR name)
{
    auto& phone = Phone::Get();
    HANDLE handle = nullptr;
    bool elsewhere = false;
    if (phone.ShouldFail("CreateMutexW")) {
        phone.lastError = ERROR_ACCESS_DENIED;
    } else {
        const bool existedHere = !phone.mutexes.insert(name).second;
        const SystemLock lock = existedHere ? SystemLock{} : LockSystemWide(name);
        const bool existed = existedHere || lock.heldElsewhere;
        phone.lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
        handle = phone.AddHandle(std::make_unique<Mutex>(name, lock.fd));
        elsewhere = !existedHere && lock.heldElsewhere;
    }
    sim::Fields result = {{"result", sim::HandleOf(handle)}, {"error", sim::Int(phone.lastError)}};
    if (elsewhere) {
        result.push_back({"held", sim::Name{"by another process"}});
    }
    phone.Record("program", "CreateMutexW", {{"name", WString(name)}, {"owner", sim::Int(initialOwner)}},
                 std::move(result));
    return handle;
}

DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR fileName, DWORD size)
{
    auto& phone = Phone::Get();
    const WString& name = phone.moduleFileName;
    DWORD length = 0;
    if (phone.ShouldFail("GetModuleFileNameW") || size == 0) {
        phone.lastError = ERROR_INSUFFICIENT_BUFFER;
    } else if (name.size() >= size) {
        // Cut to the buffer and terminated; the answer is the buffer's size.
        std::copy_n(name.begin(), size - 1, fileName);
        fileName[size - 1] = 0;
        length = size;
        phone.lastError = ERROR_INSUFFICIENT_BUFFER;
    } else {
        std::copy(name.begin(), name.end(), fileName);
        fileName[name.size()] = 0;
        length = static_cast<DWORD>(name.size());
    }
    phone.Record("program", "GetModuleFileNameW", {{"size", sim::Int(size)}}, {{"result", sim::Int(length)}});
    return length;
}
