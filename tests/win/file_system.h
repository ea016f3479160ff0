// The file system as the program sees it, for tests that put real files where the program
// looks: beside the test's own executable on Windows, beside the simulated program elsewhere.
// Paths are the program's own wide text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/text.h"

namespace wintest {

// folder and name joined with the platform's separator.
WString Join(const WString& folder, WStringView name);

// Where the Profile of the running module looks for its file: the module's path with "ini" in
// place of its last three characters, worked out here without the program's own code.
WString ModuleProfilePath();

// name in the folder of the running module.
WString BesideModule(WStringView name);

// A folder of its own for one test, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ScratchFolder(ScratchFolder&&) = delete;
    ScratchFolder& operator=(ScratchFolder&&) = delete;
    ~ScratchFolder();

    [[nodiscard]] const WString& Path() const noexcept { return path_; }

private:
    WString path_;
};

bool MakeFolder(const WString& path);
bool FolderExists(const WString& path);
void WriteBytes(const WString& path, std::string_view bytes);
// The file's whole content, or nullopt when it can't be opened.
std::optional<std::string> ReadBytes(const WString& path);
void RemoveFile(const WString& path);

// Another program holding the file open, for as long as the object lives, with its access
// (GENERIC_READ, GENERIC_WRITE) and what it shares with others (FILE_SHARE_READ,
// FILE_SHARE_WRITE). The file must exist.
class HeldFile {
public:
    HeldFile(const WString& path, DWORD access, DWORD sharing);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    HeldFile(HeldFile&&) = delete;
    HeldFile& operator=(HeldFile&&) = delete;
    ~HeldFile();

    [[nodiscard]] bool Held() const noexcept { return held_; }

private:
    WString path_;
    DWORD access_;
    DWORD sharing_;
    [[maybe_unused]] void* handle_ = nullptr;  // the hold on Windows
    bool held_ = false;
};

// Text for failure messages.
std::string Narrow(WStringView text);

}  // namespace wintest
