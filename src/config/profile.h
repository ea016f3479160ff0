// The user's configuration: the ProfileFile beside the executable, parsed into sections of
// key/value entries.
#pragma once

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
// replaced by "ini". Empty when the module's name can't be read whole.
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
    std::vector<ProfileEntry>& FindSection(WStringView name, bool create);
    [[nodiscard]] const std::vector<ProfileEntry>& FindSection(WStringView name) const;
    void AddEntry(WStringView section, WStringView key, WStringView value);

    WString path_;
    std::vector<ProfileSection> sections_;
    bool fileMissing_ = false;
};
