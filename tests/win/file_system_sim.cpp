// The simulated phone's files, which live in the real file system of the machine it runs on.
// Another program's hold on a file is the phone's record of it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "file_system.h"
#include "sim/phone.h"

namespace wintest {

namespace {

std::filesystem::path Native(const WString& path)
{
    return {sim::Utf8(path)};
}

std::filesystem::path MakeTempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-win-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return {pattern};
}

// One folder for the simulated program of this test process, removed when the process ends.
struct ModuleFolder {
    ModuleFolder() : path(MakeTempFolder()) {}
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;
    ModuleFolder(ModuleFolder&&) = delete;
    ModuleFolder& operator=(ModuleFolder&&) = delete;
    ~ModuleFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

const std::filesystem::path& TheModuleFolder()
{
    static const ModuleFolder folder;
    return folder.path;
}

}  // namespace

WString Join(const WString& folder, WStringView name)
{
    return folder + WTEXT("/") + WString(name);
}

// The simulated program is put in a real folder, since its module file name is the phone's.
WString ModuleProfilePath()
{
    sim::Phone::Get().moduleFileName = sim::Utf16((TheModuleFolder() / "win_tests.exe").string());
    return sim::Utf16((TheModuleFolder() / "win_tests.ini").string());
}

WString BesideModule(WStringView name)
{
    return Join(sim::Utf16(TheModuleFolder().string()), name);
}

ScratchFolder::ScratchFolder() : path_(sim::Utf16(MakeTempFolder().string())) {}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Native(path_), ignored);
}

bool MakeFolder(const WString& path)
{
    std::error_code error;
    return std::filesystem::create_directory(Native(path), error);
}

bool FolderExists(const WString& path)
{
    std::error_code error;
    return std::filesystem::is_directory(Native(path), error);
}

void WriteBytes(const WString& path, std::string_view bytes)
{
    std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::optional<std::string> ReadBytes(const WString& path)
{
    std::ifstream in(Native(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveFile(const WString& path)
{
    std::error_code ignored;
    std::filesystem::remove(Native(path), ignored);
}

HeldFile::HeldFile(const WString& path, DWORD access, DWORD sharing)
    : path_(path), access_(access), sharing_(sharing)
{
    held_ = std::filesystem::exists(Native(path)) && sim::OpenElsewhere(path, {access, sharing});
}

HeldFile::~HeldFile()
{
    if (!held_) {
        return;
    }
    auto& holds = sim::Phone::Get().heldFiles;
    const auto [first, last] = holds.equal_range(path_);
    for (auto hold = first; hold != last; ++hold) {
        if (hold->second.access == access_ && hold->second.shareMode == sharing_) {
            holds.erase(hold);
            return;
        }
    }
}

std::string Narrow(WStringView text)
{
    return sim::Utf8(text);
}

}  // namespace wintest
