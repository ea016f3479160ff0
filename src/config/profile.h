// The user's configuration: the ProfileFile beside the executable, parsed into sections of
// key/value entries.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "platform/text.h"
#include "platform/types.h"

struct ProfileEntry {
    WString key;
    WString value;
};

struct ProfileSection {
    WString name;
    std::vector<ProfileEntry> entries;
};

// The ProfileFile's path: the module's own full file name with its last three characters
// replaced by "ini". Empty when the module's name can't be read whole or is too short to hold
// three characters; an empty path is never read or written.
WString MakeProfilePath(HINSTANCE instance);

class Profile {
public:
    // Loads the ProfileFile at once; a file that can't be opened leaves the Profile empty.
    explicit Profile(HINSTANCE instance);

    // Reads the file again from scratch; answers FileMissing().
    bool Load();

    // The value of the first entry with this key in this section. Throws ThrownMessage when
    // the section or the key is absent.
    [[nodiscard]] const WString& GetValue(WStringView section, WStringView key) const;

    [[nodiscard]] const WString& Path() const noexcept { return path_; }
    [[nodiscard]] bool FileMissing() const noexcept { return fileMissing_; }
    [[nodiscard]] const std::vector<ProfileSection>& Sections() const noexcept { return sections_; }

private:
    std::vector<WString> ReadLines();
    void ParseLine(const WString& line, WString& currentSection);
    std::vector<ProfileEntry>& FindSection(const WString& name, bool create);
    [[nodiscard]] const std::vector<ProfileEntry>& FindSection(const WString& name) const;
    void AddEntry(const WString& section, WStringView key, WStringView value);

    WString path_;
    // In the order each name first received an entry; the index finds a name's place without
    // walking them all, so that a file of many small sections still loads in linear time.
    std::vector<ProfileSection> sections_;
    std::unordered_map<WString, std::size_t> sectionIndex_;
    bool fileMissing_ = false;
};
