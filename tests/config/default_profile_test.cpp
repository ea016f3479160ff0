// The commented template written where no ProfileFile exists, and only there.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/default_profile.h"
#include "config/profile.h"
#include "profile_file_test.h"

namespace {

// The template's bytes, spelt out independently of the writer.
constexpr std::string_view kTemplate =
    "[exec]\n"
    "# "
    "\xE9\x80\x81\xE5\x8F\x97\xE4\xBF\xA1\xE5\x89\x8D\xE3\x81\xAB\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x99\xE3\x82"
    "\x8B"
    "\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA\n"
    "before=\n"
    "\n"
    "# "
    "\xE9\x80\x81\xE5\x8F\x97\xE4\xBF\xA1\xE5\xBE\x8C\xE3\x81\xAB\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x99\xE3\x82"
    "\x8B"
    "\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA\n"
    "after=\n"
    "\n"
    "# "
    "\xE9\x80\x81\xE5\x8F\x97\xE4\xBF\xA1\xE5\xBE\x8C\xE3\x81\xAB\xE6\x9C\xAA\xE9\x80\x81\xE4\xBF\xA1\xE3\x83"
    "\xA1"
    "\xE3\x83\xBC\xE3\x83\xAB\xE3\x81\x8C\xE3\x81\xAA\xE3\x81\x8B\xE3\x81\xA3\xE3\x81\x9F\xE3\x81\xA8\xE3\x81"
    "\x8D"
    "\xE3\x81\xA0\xE3\x81\x91\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x99\xE3\x82\x8B\xE3\x82\xA2\xE3\x83\x97\xE3\x83"
    "\xAA\n"
    "send=\n";

class DefaultProfileTest : public ProfileFileTest {};

// While it is written, the new file is shared with any other program for reading and writing
// alike: the user's editor may open it at once.
TEST_F(DefaultProfileTest, WritesTheTemplateExactly)
{
    for (const bool inMemory : {false, true}) {
        SCOPED_TRACE(inMemory ? "in memory" : "on disk");
        Phone().filesInMemory = inMemory;
        const Profile missing(Instance());
        ASSERT_TRUE(missing.FileMissing());
        std::optional<bool> editorOpened;
        Phone().onRecord = [&](const sim::TraceEvent& event) {
            if (event.what == "WriteFile" && !editorOpened) {
                editorOpened = sim::OpenElsewhere(
                    IniPathText(), {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE});
            }
        };
        WriteDefaultProfile(missing.Path());
        Phone().onRecord = nullptr;
        Phone().heldFiles.clear();
        EXPECT_EQ(editorOpened, std::optional<bool>(true));
        EXPECT_EQ(ReadIni(), kTemplate);
        EXPECT_EQ(Phone().OpenHandles("file"), 0U);
    }
}

TEST_F(DefaultProfileTest, TemplateReadsBackAsThreeEmptyHooks)
{
    WriteDefaultProfile(IniPathText());
    const Profile profile(Instance());
    ASSERT_FALSE(profile.FileMissing());
    ASSERT_EQ(profile.Sections().size(), 1U);
    const ProfileSection& exec = profile.Sections().front();
    EXPECT_EQ(exec.name, WTEXT("exec"));
    std::vector<WString> keys;
    for (const auto& entry : exec.entries) {
        keys.push_back(entry.key);
        EXPECT_EQ(entry.value, WString());
    }
    EXPECT_EQ(keys, (std::vector<WString>{WTEXT("before"), WTEXT("after"), WTEXT("send")}));
    EXPECT_EQ(profile.GetValue(WTEXT("exec"), WTEXT("before")), WString());
}

// A file that exists but could not be read is the user's configuration: the writer must leave
// it as it is, whether it is still locked or open to writing.
TEST_F(DefaultProfileTest, ExistingUnreadableFileIsLeftUntouched)
{
    const std::string mine = "[exec]\nbefore=mine\n";
    for (const bool stillLocked : {true, false}) {
        SCOPED_TRACE(stillLocked ? "still locked" : "only the read failed");
        Phone().Reset();
        PlaceProgramIn(Folder());
        WriteIni(mine);
        if (stillLocked) {
            Phone().lockedFiles.insert(IniPathText());
        } else {
            Phone().Fail("CreateFileW", 1);
        }
        const Profile profile(Instance());
        ASSERT_TRUE(profile.FileMissing());
        WriteDefaultProfile(profile.Path());
        EXPECT_EQ(ReadIni(), mine);
        const auto opens = Phone().TraceOf("CreateFileW");
        ASSERT_EQ(opens.size(), 2U);
        EXPECT_TRUE(*opens[1].Get<bool>("createNew"));
        EXPECT_EQ(Phone().OpenHandles("file"), 0U);
    }
}

TEST_F(DefaultProfileTest, MissingFolderGivesNoFileAndNoError)
{
    PlaceProgramIn(Folder() / "gone");
    const Profile profile(Instance());
    ASSERT_TRUE(profile.FileMissing());
    EXPECT_NO_THROW(WriteDefaultProfile(profile.Path()));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "gone"));
    EXPECT_EQ(Phone().OpenHandles("file"), 0U);
}

TEST_F(DefaultProfileTest, EmptyPathWritesNothing)
{
    WriteDefaultProfile(WString());
    EXPECT_EQ(Phone().CallCount("CreateFileW"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(Folder()));
}

TEST_F(DefaultProfileTest, FailedWriteStillClosesTheFile)
{
    Phone().Fail("WriteFile");
    WriteDefaultProfile(IniPathText());
    EXPECT_EQ(Phone().OpenHandles("file"), 0U);
    EXPECT_EQ(ReadIni(), "");
}

}  // namespace
