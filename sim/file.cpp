// Files of the simulated phone live in the real file system of the machine it runs on, so that
// tests can put a file in place and read what the program wrote; or, when a test asks for it,
// in the phone's memory files, which behave the same to the program.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

// One open of a file on disk, or of a memory file (no descriptor: the bytes are found by name).
struct File : sim::HandleObject {
    File(int descriptor, const WString& path, sim::FileShare open)
        : HandleObject("file", path), fd(descriptor), share(open)
    {
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
    std::size_t position = 0;  // a memory file's next byte to read or write
    sim::FileShare share;
};

constexpr int kInMemory = -1;

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

struct Opened {
    int fd = kInMemory;
    DWORD error = ERROR_SUCCESS;
};

Opened OpenOnDisk(const std::string& path, bool writing, DWORD creation)
{
    int flags = writing ? O_WRONLY : O_RDONLY;
    if (creation == CREATE_NEW) {
        flags |= O_CREAT | O_EXCL;
    }
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    return fd < 0 ? Opened{kInMemory, ErrorFromErrno(errno)} : Opened{fd, ERROR_SUCCESS};
}

// As on disk: CREATE_NEW makes an empty file where there is none, any other creation opens the
// file that is there.
Opened OpenInMemory(const WString& name, DWORD creation)
{
    auto& files = Phone::Get().memoryFiles;
    const bool exists = files.contains(name);
    if (creation == CREATE_NEW) {
        if (exists) {
            return {kInMemory, ERROR_FILE_EXISTS};
        }
        files.emplace(name, std::string());
        return {};
    }
    return {kInMemory, exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND};
}

// The memory file's bytes, or nullptr (and errno set) when a test took the file away meanwhile.
std::string* MemoryBytes(const File& file)
{
    auto& files = Phone::Get().memoryFiles;
    const auto found = files.find(file.name);
    if (found == files.end()) {
        errno = ENOENT;
        return nullptr;
    }
    return &found->second;
}

// read(2) and write(2) for either kind of file: at most count bytes from the position on, none
// at the end; -1 with errno on failure.
ssize_t ReadBytes(File& file, void* buffer, DWORD count)
{
    if (file.fd != kInMemory) {
        return ::read(file.fd, buffer, count);
    }
    const std::string* bytes = MemoryBytes(file);
    if (bytes == nullptr) {
        return -1;
    }
    const std::size_t start = std::min(file.position, bytes->size());
    const std::size_t got = std::min<std::size_t>(count, bytes->size() - start);
    std::memcpy(buffer, bytes->data() + start, got);
    file.position = start + got;
    return static_cast<ssize_t>(got);
}

ssize_t WriteBytes(File& file, const void* buffer, DWORD count)
{
    if (file.fd != kInMemory) {
        return ::write(file.fd, buffer, count);
    }
    std::string* bytes = MemoryBytes(file);
    if (bytes == nullptr) {
        return -1;
    }
    if (bytes->size() < file.position + count) {
        bytes->resize(file.position + count);
    }
    std::memcpy(bytes->data() + file.position, buffer, count);
    file.position += count;
    return static_cast<ssize_t>(count);
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
        const Opened opened =
            phone.filesInMemory ? OpenInMemory(name, creation) : OpenOnDisk(path, writing, creation);
        if (opened.error == ERROR_SUCCESS) {
            handle =
                phone.AddHandle(std::make_unique<File>(opened.fd, name, sim::FileShare{access, shareMode}));
        }
        phone.lastError = opened.error;
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
    const auto got = ReadBytes(*file, buffer, toRead);
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
    const auto put = WriteBytes(*file, buffer, toWrite);
    if (put < 0) {
        phone.lastError = ErrorFromErrno(errno);
        phone.Record("program", "WriteFile", {}, {{"result", false}});
        return FALSE;
    }
    *written = static_cast<DWORD>(put);
    phone.Record("program", "WriteFile", {}, {{"result", true}, {"bytes", sim::Int(put)}});
    return TRUE;
}
