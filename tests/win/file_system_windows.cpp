// The real Windows file system, through the same wide-path calls the program makes.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "config/utf8.h"
#include "file_system.h"

namespace wintest {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
struct SearchCloser {
    void operator()(HANDLE search) const noexcept { FindClose(search); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;
using SearchHandle = std::unique_ptr<void, SearchCloser>;

// Null when the file can't be opened, so that the handle is closed only when there is one.
FileHandle OpenFile(const WString& path, DWORD access, DWORD sharing, DWORD creation)
{
    HANDLE file = CreateFileW(path.c_str(), access, sharing, nullptr, creation, 0, nullptr);
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Removes a folder and what it holds; the tests make only files and folders, no links.
void RemoveTree(const WString& folder)
{
    WIN32_FIND_DATAW found{};
    HANDLE first = FindFirstFileW(Join(folder, L"*").c_str(), &found);
    if (first != INVALID_HANDLE_VALUE) {
        const SearchHandle search(first);
        do {
            const WString name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const WString path = Join(folder, name);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search.get(), &found) != FALSE);
    }
    RemoveDirectoryW(folder.c_str());
}

WString ModulePath()
{
    WString path(32768, 0);
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Beside the executable, so that the tests also cover the folder the program really lives in.
WString ModuleFolder()
{
    const WString path = ModulePath();
    return path.substr(0, path.find_last_of(L'\\'));
}

}  // namespace

WString Join(const WString& folder, WStringView name)
{
    return folder + L'\\' + WString(name);
}

WString ModuleProfilePath()
{
    const WString path = ModulePath();
    return path.substr(0, path.size() - 3) + L"ini";
}

WString BesideModule(WStringView name)
{
    return Join(ModuleFolder(), name);
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> made{0};
    const WString name =
        L"scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
    path_ = Join(ModuleFolder(), name);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

bool MakeFolder(const WString& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool FolderExists(const WString& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WriteBytes(const WString& path, std::string_view bytes)
{
    const FileHandle file = OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0;
    if (file) {
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

std::optional<std::string> ReadBytes(const WString& path)
{
    const FileHandle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
        return std::nullopt;
    }
    std::string content;
    std::string buffer(4096, '\0');
    DWORD got = 0;
    while (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE &&
           got != 0) {
        content.append(buffer, 0, got);
    }
    return content;
}

void RemoveFile(const WString& path)
{
    DeleteFileW(path.c_str());
}

HeldFile::HeldFile(const WString& path, DWORD access, DWORD sharing)
    : path_(path), access_(access), sharing_(sharing)
{
    handle_ = CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    held_ = handle_ != INVALID_HANDLE_VALUE;
}

HeldFile::~HeldFile()
{
    if (held_) {
        CloseHandle(handle_);
    }
}

std::string Narrow(WStringView text)
{
    return EncodeUtf8(text);
}

}  // namespace wintest
