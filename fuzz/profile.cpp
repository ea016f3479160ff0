// Arbitrary bytes as the ProfileFile: put beside the simulated program as one of the phone's
// memory files, then opened, read, parsed and looked up the way a run does. Only ThrownMessage
// may leave a lookup, and what was parsed must be a profile a file could hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "config/line_reader.h"
#include "config/profile.h"
#include "shared/thrown_message.h"
#include "sim/phone.h"

namespace {

constexpr WStringView kModule = WTEXT("/phone/Program Files/Quillet/quillet.exe");
constexpr WStringView kProfileFile = WTEXT("/phone/Program Files/Quillet/quillet.ini");

void Check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

void LookUp(const Profile& profile, WStringView section, WStringView key)
{
    try {
        const WString& value = profile.GetValue(section, key);
        Check(value.find(u'\n') == WString::npos);
    } catch (const ThrownMessage& message) {
        Check(!message.Text().empty());
    }
}

// A section exists only with an entry; its name and every key and value came from one line,
// so none holds a line feed and each entry's line fits the line limit; a key ends at the first
// "="; the first entry of a key is the one a lookup answers.
void CheckParsed(const Profile& profile)
{
    std::set<WString> names;
    for (const ProfileSection& section : profile.Sections()) {
        Check(names.insert(section.name).second);
        Check(!section.entries.empty());
        Check(section.name.find(u'\n') == WString::npos && section.name.size() + 2 <= kMaxLineLength);
        for (const ProfileEntry& entry : section.entries) {
            Check(entry.key.find(u'=') == WString::npos);
            Check(entry.value.find(u'\n') == WString::npos);
            Check(entry.key.size() + 1 + entry.value.size() <= kMaxLineLength);
        }
        const ProfileEntry& first = section.entries.front();
        Check(&profile.GetValue(section.name, first.key) == &first.value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& phone = sim::Phone::Get();
    phone.Reset();
    phone.moduleFileName = WString(kModule);
    phone.filesInMemory = true;
    phone.memoryFiles[WString(kProfileFile)].assign(reinterpret_cast<const char*>(data), size);
    const Profile profile(nullptr);
    Check(!profile.FileMissing());
    Check(phone.CallCount("ReadFile") >= 1);
    Check(phone.OpenHandles("file") == 0);
    CheckParsed(profile);
    for (const char16_t* key : {u"before", u"send", u"after"}) {
        LookUp(profile, u"exec", key);
    }
    LookUp(profile, u"", u"");
    LookUp(profile, u"Exec", u"before");
    LookUp(profile, u"exec", u"before ");
    LookUp(profile, u"\xFEFF[exec]", u"before");
    return 0;
}
