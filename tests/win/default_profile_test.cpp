// The default ProfileFile's bytes as they land on the file system, in a folder whose name is
// not ASCII, as on a phone set up in Japanese.
#include <gtest/gtest.h>

#include <string_view>

#include "config/default_profile.h"
#include "file_system.h"

namespace {

// Spelt out apart from the writer: UTF-8, no byte-order mark, a line feed after every line.
constexpr std::string_view kTemplate =
    "[exec]\n"
    "# 送受信前に起動するアプリ\n"
    "before=\n"
    "\n"
    "# 送受信後に起動するアプリ\n"
    "after=\n"
    "\n"
    "# 送受信後に未送信メールがなかったときだけ起動するアプリ\n"
    "send=\n";

TEST(DefaultProfile, WritesTheTemplateBytesIntoAJapaneseFolder)
{
    const wintest::ScratchFolder scratch;
    const WString folder = wintest::Join(scratch.Path(), WTEXT("メール送受信"));
    ASSERT_TRUE(wintest::MakeFolder(folder));
    const WString path = wintest::Join(folder, WTEXT("quillet.ini"));
    WriteDefaultProfile(path);
    EXPECT_EQ(wintest::ReadBytes(path), kTemplate);
}

TEST(DefaultProfile, NeverReplacesAFileThatExists)
{
    const wintest::ScratchFolder scratch;
    const WString path = wintest::Join(scratch.Path(), WTEXT("quillet.ini"));
    for (const std::string_view existing : {std::string_view("[exec]\r\nbefore=x\r\n"), std::string_view()}) {
        SCOPED_TRACE(existing.size());
        wintest::WriteBytes(path, existing);
        WriteDefaultProfile(path);
        EXPECT_EQ(wintest::ReadBytes(path), existing);
    }
}

TEST(DefaultProfile, MissingFolderGivesNoFileAndNoFolder)
{
    const wintest::ScratchFolder scratch;
    const WString folder = wintest::Join(scratch.Path(), WTEXT("無い"));
    EXPECT_NO_THROW(WriteDefaultProfile(wintest::Join(folder, WTEXT("quillet.ini"))));
    EXPECT_FALSE(wintest::FolderExists(folder));
}

}  // namespace
