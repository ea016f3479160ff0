// Where the ProfileFile is looked for, whatever the module's file name looks like.
#include <string>
#include <vector>

#include "config/profile.h"
#include "support/phone_test.h"

namespace {

class ProfilePathTest : public PhoneTest {};

WString NameOfLength(std::size_t length)
{
    WString name = WTEXT("/");
    name.append(length - 5, 'd');
    return name + WTEXT(".exe");
}

WString WithIni(const WString& name)
{
    return name.substr(0, name.size() - 3) + WTEXT("ini");
}

TEST_F(ProfilePathTest, SwapsTheLastThreeCharacters)
{
    struct Case {
        const char* name;
        WString module;
        WString path;
    };
    const std::vector<Case> cases = {
        {"usual", WTEXT("\\Program Files\\Quillet\\quillet.exe"),
         WTEXT("\\Program Files\\Quillet\\quillet.ini")},
        {"Japanese folder", WTEXT("\\フォルダ\\送受信.exe"), WTEXT("\\フォルダ\\送受信.ini")},
        {"extension not inspected", WTEXT("\\x\\quillet.EXE.bak"), WTEXT("\\x\\quillet.EXE.ini")},
        {"three characters", WTEXT("abc"), WTEXT("ini")},
        {"too short", WTEXT("ab"), WTEXT("")},
        {"none", WTEXT(""), WTEXT("")},
        {"259 fits the usual buffer", NameOfLength(259), WithIni(NameOfLength(259))},
        {"260 needs a larger buffer", NameOfLength(260), WithIni(NameOfLength(260))},
        {"long path", NameOfLength(5000), WithIni(NameOfLength(5000))},
        {"longer than any path", NameOfLength(40000), WTEXT("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Phone().Reset();
        Phone().moduleFileName = c.module;
        EXPECT_EQ(MakeProfilePath(nullptr), c.path);
    }
}

TEST_F(ProfilePathTest, FailedModuleNameGivesNoPathAndNoFile)
{
    Phone().Fail("GetModuleFileNameW");
    const Profile profile(nullptr);
    EXPECT_EQ(profile.Path(), WString());
    EXPECT_TRUE(profile.FileMissing());
    EXPECT_EQ(Phone().CallCount("CreateFileW"), 0);
}

}  // namespace
