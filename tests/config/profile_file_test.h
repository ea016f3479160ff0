// Tests that put a ProfileFile beside the simulated program, in a folder of their own, or in
// the phone's memory files when a test asks for those (the fuzzer reads the ProfileFile from
// there, so the program must find the same bytes in either).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "support/phone_test.h"

class ProfileFileTest : public PhoneTest {
protected:
    void SetUp() override
    {
        PhoneTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-config-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        PlaceProgramIn(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // The simulated program's module lives in folder, so its ProfileFile does too.
    void PlaceProgramIn(const std::filesystem::path& folder)
    {
        programFolder_ = folder;
        Phone().moduleFileName = sim::Utf16((folder / "quillet.exe").string());
    }

    [[nodiscard]] std::filesystem::path IniPath() const { return programFolder_ / "quillet.ini"; }
    [[nodiscard]] WString IniPathText() const { return sim::Utf16(IniPath().string()); }
    [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }

    void WriteIni(std::string_view bytes) const
    {
        if (Phone().filesInMemory) {
            Phone().memoryFiles[IniPathText()] = bytes;
            return;
        }
        std::ofstream out(IniPath(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    [[nodiscard]] std::string ReadIni() const
    {
        if (Phone().filesInMemory) {
            const auto found = Phone().memoryFiles.find(IniPathText());
            return found == Phone().memoryFiles.end() ? std::string() : found->second;
        }
        std::ifstream in(IniPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static HINSTANCE Instance() { return nullptr; }

private:
    std::filesystem::path folder_;
    std::filesystem::path programFolder_;
};
