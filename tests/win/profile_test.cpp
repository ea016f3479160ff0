// The ProfileFile beside the running module, read through the real file API: the path the
// program derives from its own file name, the bytes as a Windows editor leaves them, and a
// file that another program holds.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/default_profile.h"
#include "config/profile.h"
#include "file_system.h"
#include "shared/thrown_message.h"
#include "support/utf16_bytes.h"

namespace {

using namespace std::string_literals;

// The Profile of the test's own module, whose file the test puts in place and removes.
class ModuleProfile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = wintest::ModuleProfilePath();
        wintest::RemoveFile(path_);
    }
    void TearDown() override { wintest::RemoveFile(path_); }

    [[nodiscard]] const WString& IniPath() const { return path_; }

private:
    WString path_;
};

std::optional<WString> ValueOf(const Profile& profile, WStringView section, WStringView key)
{
    try {
        return profile.GetValue(section, key);
    } catch (const ThrownMessage&) {
        return std::nullopt;
    }
}

std::optional<WString> FailureOf(const Profile& profile, WStringView section, WStringView key)
{
    try {
        (void)profile.GetValue(section, key);
    } catch (const ThrownMessage& message) {
        return message.Text();
    }
    return std::nullopt;
}

// "\\Storage Card\\送受信\\done.exe" as UTF-8, as Shift-JIS and as the program's text.
const std::string kDoneUtf8 = "\\Storage Card\\\xE9\x80\x81\xE5\x8F\x97\xE4\xBF\xA1\\done.exe";
const std::string kDoneShiftJis = "\\Storage Card\\\x91\x97\x8E\xF3\x90M\\done.exe";
const WString kDone = WTEXT("\\Storage Card\\送受信\\done.exe");

std::string Repeated(std::string_view text, std::size_t count)
{
    std::string repeated;
    for (std::size_t i = 0; i < count; ++i) {
        repeated += text;
    }
    return repeated;
}

TEST_F(ModuleProfile, LiesBesideTheModuleAndReadsItsLines)
{
    struct Case {
        const char* name;
        std::string bytes;
        WString key;
        std::optional<WString> value;  // nullopt: no such key in "exec"
    };
    const std::vector<Case> cases = {
        {"LF", "[exec]\nbefore=a.exe|x\n", WTEXT("before"), WTEXT("a.exe|x")},
        {"CR LF, as Notepad writes", "[exec]\r\nbefore=a.exe\r\nafter=b\r\n", WTEXT("before"),
         WTEXT("a.exe")},
        {"byte-order mark", "\xEF\xBB\xBF[exec]\r\nsend=s\r\n", WTEXT("send"), WTEXT("s")},
        {"Japanese path", "[exec]\nbefore=\\Program Files\\送受信\\起動.exe|引数\n", WTEXT("before"),
         WTEXT("\\Program Files\\送受信\\起動.exe|引数")},
        {"last line without line end", "[exec]\nafter=\\Windows\\x.exe", WTEXT("after"),
         WTEXT("\\Windows\\x.exe")},
        {"first of a repeated key", "[exec]\nbefore=1\nbefore=2\n", WTEXT("before"), WTEXT("1")},
        {"comment only in the first column", "[exec]\n#before=x\n #after=y\n", WTEXT("before"), std::nullopt},
        {"NUL ends the line", "[exec]\nbefore=ab\0cd\n"s, WTEXT("before"), WTEXT("ab")},
        {"1023 characters whole", "[exec]\nbefore=" + std::string(1016, 'a') + "\n", WTEXT("before"),
         WString(1016, 'a')},
        {"1024 cut to 1023", "[exec]\nbefore=" + std::string(1017, 'a') + "\nafter=z\n", WTEXT("before"),
         WString(1016, 'a')},
        {"read past a 64 KiB chunk", "[exec]\npad=" + std::string(70000, 'p') + "\nsend=late\n",
         WTEXT("send"), WTEXT("late")},
        // The same hook in a folder with a Japanese name, as each of the phone's editors saves it.
        {"UTF-8 without a byte-order mark", "[exec]\r\nsend=" + kDoneUtf8 + "\r\n", WTEXT("send"), kDone},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[exec]\r\nsend=" + kDoneUtf8 + "\r\n", WTEXT("send"),
         kDone},
        {"UTF-16LE", Utf16Bytes(WTEXT("[exec]\r\nsend=") + kDone + WTEXT("\r\n"), false), WTEXT("send"),
         kDone},
        {"UTF-16BE", Utf16Bytes(WTEXT("[exec]\r\nsend=") + kDone + WTEXT("\r\n"), true), WTEXT("send"),
         kDone},
        {"Shift-JIS", "[exec]\r\n# \x91\x97\x8E\xF3\x90M\r\nsend=" + kDoneShiftJis + "\r\n", WTEXT("send"),
         kDone},
        {"Shift-JIS line of 1024 characters cut to 1023",
         "[exec]\nbefore=" + Repeated("\x82\xA0", 1017) + "\nafter=z\n", WTEXT("before"),
         WString(1016, static_cast<WCHAR>(0x3042))},
        {"Shift-JIS lead byte before a line feed", "[exec]\nbefore=\x82\nafter=z\n", WTEXT("after"),
         WTEXT("z")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wintest::WriteBytes(IniPath(), c.bytes);
        const Profile profile(nullptr);
        EXPECT_EQ(profile.Path(), IniPath());
        EXPECT_FALSE(profile.FileMissing());
        EXPECT_EQ(ValueOf(profile, WTEXT("exec"), c.key), c.value);
    }
}

TEST_F(ModuleProfile, MissingFileFailsLookupsWithTheSectionText)
{
    const Profile profile(nullptr);
    EXPECT_TRUE(profile.FileMissing());
    EXPECT_TRUE(profile.Sections().empty());
    EXPECT_EQ(FailureOf(profile, WTEXT("exec"), WTEXT("before")),
              WTEXT("セクション[exec]が見つかりません。"));
}

// A file that another program holds open is read whenever that program shares reading, as an
// editor that keeps it open for writing does. One it can't read is missing to this run only: the
// writer must leave it as it is, and a later start reads it as before.
TEST_F(ModuleProfile, FileHeldByAnotherProgramIsReadWhenSharedAndNeverReplaced)
{
    struct Case {
        const char* name;
        DWORD access;
        DWORD sharing;
        bool read;
    };
    const std::vector<Case> cases = {
        {"held sharing nothing", GENERIC_READ | GENERIC_WRITE, 0, false},
        {"held for writing, sharing reading", GENERIC_WRITE, FILE_SHARE_READ, true},
        {"held for reading and writing, sharing both", GENERIC_READ | GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {"held for reading, sharing only writing", GENERIC_READ, FILE_SHARE_WRITE, false},
    };
    const std::string mine = "[exec]\r\nbefore=mine.exe\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wintest::WriteBytes(IniPath(), mine);
        {
            const wintest::HeldFile other(IniPath(), c.access, c.sharing);
            ASSERT_TRUE(other.Held());
            const Profile profile(nullptr);
            EXPECT_EQ(profile.FileMissing(), !c.read);
            EXPECT_EQ(ValueOf(profile, WTEXT("exec"), WTEXT("before")),
                      c.read ? std::optional<WString>(WTEXT("mine.exe")) : std::nullopt);
            WriteDefaultProfile(profile.Path());
        }
        EXPECT_EQ(wintest::ReadBytes(IniPath()), mine);
        const Profile later(nullptr);
        EXPECT_EQ(ValueOf(later, WTEXT("exec"), WTEXT("before")), WTEXT("mine.exe"));
    }
}

TEST_F(ModuleProfile, DefaultFileReadsBackAsThreeEmptyHooks)
{
    const Profile missing(nullptr);
    ASSERT_TRUE(missing.FileMissing());
    WriteDefaultProfile(missing.Path());
    const Profile profile(nullptr);
    ASSERT_FALSE(profile.FileMissing());
    ASSERT_EQ(profile.Sections().size(), 1U);
    EXPECT_EQ(profile.Sections()[0].name, WTEXT("exec"));
    std::vector<WString> keys;
    for (const ProfileEntry& entry : profile.Sections()[0].entries) {
        keys.push_back(entry.key);
        EXPECT_TRUE(entry.value.empty());
    }
    EXPECT_EQ(keys, (std::vector<WString>{WTEXT("before"), WTEXT("after"), WTEXT("send")}));
}

}  // namespace
