// Files of the simulated phone live in the real file system of the machine it runs on, so that
// tests can put a file in place and read what the program wrote.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

struct File : sim::HandleObject {
    File(int descriptor, const WString& path, sim::FileShare open)
        : HandleObject("file", path), fd(descriptor), share(open)
    {
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override { ::close(fd); }
    int fd;
    sim::FileShare share;
};

bool Shares(DWORD shareMode, DWORD access)
{
    return ((access & GENERIC_READ) == 0 || (shareMode & FILE_SHARE_READ) != 0) &&
           ((access & GENERIC_WRITE) == 0 || (shareMode & FILE_SHARE_WRITE) != 0);
}

bool MayStandTogether(sim::FileShare one, sim::FileShare other)
{
    return Shares(one.shareMode, other.access) && Shares(other.shareMode, one.access);
}

// Whether a new open of the file may stand beside the opens already made of it: the
// program's own, other programs' holds, and a lock that shares nothing.
bool MayOpen(const WString& path, sim::FileShare open)
{
    const auto& phone = Phone::Get();
    if (phone.lockedFiles.contains(path) && !MayStandTogether(open, {GENERIC_READ | GENERIC_WRITE, 0})) {
        return false;
    }
    const auto [first, last] = phone.heldFiles.equal_range(path);
    const bool holdsAllow =
        std::all_of(first, last, [&](const auto& hold) { return MayStandTogether(open, hold.second); });
    const auto programFiles = phone.HandlesOf("file");
    return holdsAllow && std::ranges::all_of(programFiles, [&](const sim::HandleObject* object) {
               const auto* file = static_cast<const File*>(object);
               return file->name != path || MayStandTogether(open, file->share);
           });
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EEXIST: return ERROR_FILE_EXISTS;
        default: return ERROR_ACCESS_DENIED;
    }
}

File* FindFile(HANDLE handle)
{
    return static_cast<File*>(Phone::Get().FindHandle(handle, "file"));
}

}  // namespace

namespace sim {

bool OpenElsewhere(const WString& path, FileShare open)
{
    if (!MayOpen(path, open)) {
        return false;
    }
    Phone::Get().heldFiles.emplace(path, open);
    return true;
}

}  // namespace sim

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES /*attributes*/,
                   DWORD creation, DWORD /*flags*/, HANDLE /*templateFile*/)
{
    auto& phone = Phone::Get();
    const WString name = fileName;
    const std::string path = sim::Utf8(name);
    const bool writing = (access & GENERIC_WRITE) != 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!MayOpen(name, {access, shareMode})) {
        phone.lastError = ERROR_SHARING_VIOLATION;
    } else if (phone.ShouldFail("CreateFileW")) {
        phone.lastError = ERROR_ACCESS_DENIED;
    } else {
        int flags = writing ? O_WRONLY : O_RDONLY;
        if (creation == CREATE_NEW) {
            flags |= O_CREAT | O_EXCL;
        }
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0) {
            phone.lastError = ErrorFromErrno(errno);
        } else {
            handle = phone.AddHandle(std::make_unique<File>(fd, name, sim::FileShare{access, shareMode}));
            phone.lastError = ERROR_SUCCESS;
        }
    }
    phone.Record("program", "CreateFileW",
                 {{"path", name}, {"write", writing}, {"createNew", creation == CREATE_NEW}},
                 {{"result", handle != INVALID_HANDLE_VALUE}, {"error", sim::Int(phone.lastError)}});
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED /*overlapped*/)
{
    auto& phone = Phone::Get();
    File* file = FindFile(handle);
    *read = 0;
    if (file == nullptr || phone.ShouldFail("ReadFile")) {
        phone.lastError = file == nullptr ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
        phone.Record("program", "ReadFile", {}, {{"result", false}});
        return FALSE;
    }
    const auto got = ::read(file->fd, buffer, toRead);
    if (got < 0) {
        phone.lastError = ErrorFromErrno(errno);
        phone.Record("program", "ReadFile", {}, {{"result", false}});
        return FALSE;
    }
    *read = static_cast<DWORD>(got);
    phone.Record("program", "ReadFile", {}, {{"result", true}, {"bytes", sim::Int(got)}});
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED /*overlapped*/)
{
    auto& phone = Phone::Get();
    File* file = FindFile(handle);
    *written = 0;
    if (file == nullptr || phone.ShouldFail("WriteFile")) {
        phone.lastError = file == nullptr ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
        phone.Record("program", "WriteFile", {}, {{"result", false}});
        return FALSE;
    }
    const auto put = ::write(file->fd, buffer, toWrite);
    if (put < 0) {
        phone.lastError = ErrorFromErrno(errno);
        phone.Record("program", "WriteFile", {}, {{"result", false}});
        return FALSE;
    }
    *written = static_cast<DWORD>(put);
    phone.Record("program", "WriteFile", {}, {{"result", true}, {"bytes", sim::Int(put)}});
    return TRUE;
}
