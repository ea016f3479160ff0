#include "config/profile.h"

#include <algorithm>
#include <array>
#include <string>

#include "config/file_handle.h"
#include "config/line_reader.h"
#include "platform/file.h"
#include "platform/process.h"
#include "shared/thrown_message.h"

namespace {

// The longest path the platform's file API can name.
constexpr DWORD kLongestPath = 32768;
// A page of the phone's file system; a ProfileFile is usually far smaller.
constexpr DWORD kReadChunk = 4096;

constexpr WCHAR kComment = '#';
constexpr WCHAR kHeaderOpen = '[';
constexpr WCHAR kHeaderClose = ']';
constexpr WCHAR kKeyEnd = '=';

// The module's full file name, or empty when it can't be read whole. The first try uses the
// platform's usual path buffer; a longer name gets a larger buffer rather than being cut short.
WString ModuleFileName(HINSTANCE instance)
{
    for (DWORD size = MAX_PATH;; size = std::min(size * 2, kLongestPath)) {
        WString buffer(size, 0);
        const DWORD length = GetModuleFileNameW(instance, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            buffer.resize(length);
            return buffer;
        }
        if (size == kLongestPath) {
            return {};
        }
    }
}

}  // namespace

WString MakeProfilePath(HINSTANCE instance)
{
    WString path = ModuleFileName(instance);
    if (path.size() < 3) {
        return {};
    }
    path.replace(path.size() - 3, 3, WTEXT("ini"));
    return path;
}

Profile::Profile(HINSTANCE instance) : path_(MakeProfilePath(instance))
{
    Load();
}

bool Profile::Load()
{
    sections_.clear();
    sectionIndex_.clear();
    const std::vector<WString> lines = ReadLines();
    if (fileMissing_) {
        return true;
    }
    WString currentSection;
    for (const WString& line : lines) {
        ParseLine(line, currentSection);
    }
    return fileMissing_;
}

// A read error keeps the lines read whole before it; the line it cut short is dropped, since
// half a program name is worse than none.
std::vector<WString> Profile::ReadLines()
{
    std::vector<WString> lines;
    if (path_.empty()) {
        fileMissing_ = true;
        return lines;
    }
    // Sharing writing too: a file that an editor holds open for writing is still the user's
    // configuration, not a missing one.
    const FileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        fileMissing_ = true;
        return lines;
    }
    ProfileLineReader reader(lines);
    // Not cleared first: ReadFile fills what it reports, and nothing past that is read.
    std::array<char, kReadChunk> buffer;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    for (;;) {
        DWORD got = 0;
        if (ReadFile(file.Get(), buffer.data(), kReadChunk, &got, nullptr) == FALSE) {
            return lines;
        }
        if (got == 0) {
            break;
        }
        reader.Feed(std::string_view(buffer.data(), got));
    }
    reader.Finish();
    return lines;
}

// A line without "=" pairs no key with a value and is passed over.
void Profile::ParseLine(const WString& line, WString& currentSection)
{
    if (line.empty() || line.front() == kComment) {
        return;
    }
    if (line.size() >= 2 && line.front() == kHeaderOpen && line.back() == kHeaderClose) {
        currentSection = line.substr(1, line.size() - 2);
        return;
    }
    const auto at = line.find(kKeyEnd);
    if (at == WString::npos) {
        return;
    }
    const WStringView text(line);
    AddEntry(currentSection, text.substr(0, at), text.substr(at + 1));
}

std::vector<ProfileEntry>& Profile::FindSection(const WString& name, bool create)
{
    const auto found = sectionIndex_.find(name);
    if (found != sectionIndex_.end()) {
        return sections_[found->second].entries;
    }
    if (!create) {
        throw ThrownMessage::Format(WTEXT("セクション[%s]が見つかりません。"), name);
    }
    sectionIndex_.emplace(name, sections_.size());
    sections_.push_back(ProfileSection{name, {}});
    return sections_.back().entries;
}

const std::vector<ProfileEntry>& Profile::FindSection(const WString& name) const
{
    const auto found = sectionIndex_.find(name);
    if (found == sectionIndex_.end()) {
        throw ThrownMessage::Format(WTEXT("セクション[%s]が見つかりません。"), name);
    }
    return sections_[found->second].entries;
}

void Profile::AddEntry(const WString& section, WStringView key, WStringView value)
{
    FindSection(section, true).push_back(ProfileEntry{WString(key), WString(value)});
}

const WString& Profile::GetValue(WStringView section, WStringView key) const
{
    const auto& entries = FindSection(WString(section));
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const ProfileEntry& entry) { return entry.key == key; });
    if (found == entries.end()) {
        throw ThrownMessage::Format(WTEXT("キー[%s]が見つかりません。"), key);
    }
    return found->value;
}
