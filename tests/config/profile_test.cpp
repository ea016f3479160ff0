// The ProfileFile's lines as the Profile classifies them, and the lookups made on the result.
#include <optional>
#include <string>
#include <vector>

#include "config/profile.h"
#include "profile_file_test.h"
#include "shared/thrown_message.h"

namespace {

using namespace std::string_literals;

struct Lookup {
    WString section;
    WString key;
    std::optional<WString> value;  // nullopt: the lookup fails with failure
    WString failure;
};

Lookup Found(WString section, WString key, WString value)
{
    return {std::move(section), std::move(key), value, {}};
}

Lookup NoSection(const WString& section, WString key)
{
    return {section, std::move(key), std::nullopt,
            WTEXT("セクション[") + section + WTEXT("]が見つかりません。")};
}

Lookup NoKey(WString section, const WString& key)
{
    return {std::move(section), key, std::nullopt, WTEXT("キー[") + key + WTEXT("]が見つかりません。")};
}

struct Case {
    const char* name;
    std::string file;
    std::vector<WString> sections;  // names, in order
    std::vector<Lookup> lookups;
};

std::string Repeat(char c, std::size_t count)
{
    std::string text;
    text.append(count, c);
    return text;
}

std::string Repeat2(std::string_view pair, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += pair;
    }
    return text;
}

// ASCII text as UTF-16LE, without a byte-order mark.
std::string Utf16Le(const std::string& ascii)
{
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

WString WRepeat(WCHAR c, std::size_t count)
{
    WString text;
    text.append(count, c);
    return text;
}

std::vector<Case> Cases()
{
    return {
        {"empty file", "", {}, {NoSection(WTEXT("exec"), WTEXT("before"))}},
        {"header alone leaves no section", "[exec]\n", {}, {NoSection(WTEXT("exec"), WTEXT("before"))}},
        {"empty value, other key missing",
         "[exec]\nbefore=\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("")), NoKey(WTEXT("exec"), WTEXT("after"))}},
        {"blanks around = belong to key and value",
         "[exec]\nbefore = prog\n",
         {WTEXT("exec")},
         {NoKey(WTEXT("exec"), WTEXT("before")), Found(WTEXT("exec"), WTEXT("before "), WTEXT(" prog"))}},
        {"case counts",
         "[Exec]\nBefore=x\n",
         {WTEXT("Exec")},
         {NoSection(WTEXT("exec"), WTEXT("before")), NoKey(WTEXT("Exec"), WTEXT("before")),
          Found(WTEXT("Exec"), WTEXT("Before"), WTEXT("x"))}},
        {"first of a repeated key wins",
         "[exec]\nbefore=first\nbefore=second\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("first"))}},
        {"repeated header adds to the first occurrence",
         "[exec]\nbefore=b\n[other]\nk=v\n[exec]\nafter=a\nbefore=late\n",
         {WTEXT("exec"), WTEXT("other")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("b")), Found(WTEXT("exec"), WTEXT("after"), WTEXT("a")),
          Found(WTEXT("other"), WTEXT("k"), WTEXT("v"))}},
        {"split at the first =, empty key",
         "[exec]\nbefore=a=b\n=empty\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("a=b")),
          Found(WTEXT("exec"), WTEXT(""), WTEXT("empty"))}},
        {"only the first column makes a comment",
         "[exec]\n#before=x\n  #after=y\n",
         {WTEXT("exec")},
         {NoKey(WTEXT("exec"), WTEXT("#before")), Found(WTEXT("exec"), WTEXT("  #after"), WTEXT("y"))}},
        {"entries above every header",
         "before=top\n[exec]\nafter=x\n",
         {WTEXT(""), WTEXT("exec")},
         {Found(WTEXT(""), WTEXT("before"), WTEXT("top")), NoKey(WTEXT("exec"), WTEXT("before"))}},
        {"[] names the empty section",
         "[exec]\n[]\nk=v\n",
         {WTEXT("")},
         {Found(WTEXT(""), WTEXT("k"), WTEXT("v"))}},
        {"header names taken unchanged",
         "[exec]]\na=1\n[ exec ]\nb=2\n",
         {WTEXT("exec]"), WTEXT(" exec ")},
         {Found(WTEXT("exec]"), WTEXT("a"), WTEXT("1")), Found(WTEXT(" exec "), WTEXT("b"), WTEXT("2"))}},
        {"unclosed [ and lone [ are entry lines",
         "[exec]\n[x=1\n[\nbefore=b\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("[x"), WTEXT("1")), Found(WTEXT("exec"), WTEXT("before"), WTEXT("b"))}},
        {"line without = is passed over",
         "[exec]\nbefore\nafter=a\n",
         {WTEXT("exec")},
         {NoKey(WTEXT("exec"), WTEXT("before")), Found(WTEXT("exec"), WTEXT("after"), WTEXT("a"))}},
        {"CR LF is one line end",
         "[exec]\r\nbefore=x\r\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("x"))}},
        {"CR left at a header's end makes an entry line",
         "k=top\n[exec]\r\r\nbefore=x\n",
         {WTEXT("")},
         {Found(WTEXT(""), WTEXT("before"), WTEXT("x")), NoSection(WTEXT("exec"), WTEXT("before"))}},
        {"lone CR is an ordinary character",
         "[exec]\nbefore=a\rb\nafter=c\r",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("a\rb")),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("c\r"))}},
        {"leading byte-order mark dropped",
         "\xEF\xBB\xBF[exec]\nbefore=x\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("x"))}},
        {"byte-order mark later is a character",
         "[exec]\n\xEF\xBB\xBF"
         "before=x\n",
         {WTEXT("exec")},
         {NoKey(WTEXT("exec"), WTEXT("before")), Found(WTEXT("exec"), WTEXT("\uFEFFbefore"), WTEXT("x"))}},
        {"NUL ends the line's text",
         "[exec]\0junk\nbefore=ab\0cd=e\nafter=y\n"s,
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("ab")),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("y"))}},
        {"1023 characters read whole",
         "[exec]\nbefore=" + Repeat('a', 1016) + "\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat('a', 1016))}},
        {"1024 characters cut to 1023, next line intact",
         "[exec]\nbefore=" + Repeat('a', 1017) + "\nafter=z\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat('a', 1016)),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("z"))}},
        {"CR at the limit is a character of the line; CR LF after the cut still ends it",
         "[exec]\nbefore=" + Repeat('a', 1015) + "\r\r\r\nafter=z\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat('a', 1015) + WTEXT("\r")),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("z"))}},
        {"long overrun dropped up to its line feed",
         "[exec]\nbefore=" + Repeat('a', 5000) + "=b\r\nafter=z\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat('a', 1016)),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("z"))}},
        {"cut never splits a surrogate pair",
         "[exec]\nbefore=" + Repeat('a', 1015) + "\xF0\x9F\x98\x80\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat('a', 1015))}},
        {"last line without line feed",
         "[exec]\nbefore=x",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("x"))}},
        {"Japanese names and values",
         "[実行]\nキー=C:\\プログラム\\起動.exe|引数\n",
         {WTEXT("実行")},
         {Found(WTEXT("実行"), WTEXT("キー"), WTEXT("C:\\プログラム\\起動.exe|引数"))}},
        {"after a UTF-8 byte-order mark, bytes that are not UTF-8 become U+FFFD",
         "\xEF\xBB\xBF[exec]\nbefore=a\xFF"
         "b\nafter=\xC0\xAF\nsend=\xE3\x81",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WTEXT("a\uFFFDb")),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("\uFFFD\uFFFD")),
          Found(WTEXT("exec"), WTEXT("send"), WTEXT("\uFFFD"))}},
        {"Shift-JIS: names, values, and a header that was UTF-8 too",
         "[\x8E\xC0\x8Ds]\r\n\x83L\x81[=C:\\\x91\x97\x8E\xF3\x90M\\done.exe|\x88\xF8\x90\x94\r\n",
         {WTEXT("実行")},
         {Found(WTEXT("実行"), WTEXT("キー"), WTEXT("C:\\送受信\\done.exe|引数"))}},
        // The file is read 4,096 bytes at a time: the second read begins with an empty line.
        {"Shift-JIS with empty lines ended by a line feed alone",
         "[\x8E\xC0\x8Ds]\n\n#" + Repeat('x', 4086) + "\n\n\x83L\x81[=x\n\n",
         {WTEXT("実行")},
         {Found(WTEXT("実行"), WTEXT("キー"), WTEXT("x"))}},
        {"Shift-JIS line of 1024 characters cut to 1023, next line intact",
         "[exec]\nbefore=" + Repeat2("\x82\xA0", 1017) + "\nafter=\x82\xA0\n",
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("before"), WRepeat(u'\u3042', 1016)),
          Found(WTEXT("exec"), WTEXT("after"), WTEXT("あ"))}},
        {"UTF-16LE with its byte-order mark, CR LF",
         "\xFF\xFE[\0e\0x\0e\0c\0]\0\r\0\n\0a\0=\0B0\r\0\n\0"s,
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("a"), WTEXT("あ"))}},
        {"UTF-16BE with its byte-order mark",
         "\xFE\xFF\0[\0e\0x\0e\0c\0]\0\n\0a\0=0B"s,
         {WTEXT("exec")},
         {Found(WTEXT("exec"), WTEXT("a"), WTEXT("あ"))}},
    };
}

class ProfileLookupTest : public ProfileFileTest {};

std::vector<WString> SectionNames(const Profile& profile)
{
    std::vector<WString> names;
    for (const auto& section : profile.Sections()) {
        names.push_back(section.name);
    }
    return names;
}

std::optional<WString> FailureOf(const Profile& profile, const Lookup& lookup)
{
    try {
        (void)profile.GetValue(lookup.section, lookup.key);
    } catch (const ThrownMessage& message) {
        return message.Text();
    }
    return std::nullopt;
}

TEST_F(ProfileLookupTest, ClassifiesLinesAndLooksUpValues)
{
    for (const bool inMemory : {false, true}) {
        Phone().filesInMemory = inMemory;
        for (const Case& c : Cases()) {
            SCOPED_TRACE(std::string(c.name) + (inMemory ? ", in memory" : ", on disk"));
            WriteIni(c.file);
            const Profile profile(Instance());
            EXPECT_FALSE(profile.FileMissing());
            EXPECT_EQ(SectionNames(profile), c.sections);
            for (const Lookup& lookup : c.lookups) {
                SCOPED_TRACE(sim::Utf8(lookup.section) + " / " + sim::Utf8(lookup.key));
                if (lookup.value) {
                    EXPECT_EQ(profile.GetValue(lookup.section, lookup.key), *lookup.value);
                } else {
                    EXPECT_EQ(FailureOf(profile, lookup), lookup.failure);
                }
            }
        }
    }
}

TEST_F(ProfileLookupTest, MissingFileLeavesProfileEmpty)
{
    const Profile profile(Instance());
    EXPECT_TRUE(profile.FileMissing());
    EXPECT_TRUE(profile.Sections().empty());
    EXPECT_EQ(profile.Path(), IniPathText());
    EXPECT_EQ(FailureOf(profile, NoSection(WTEXT("exec"), WTEXT("before"))),
              WTEXT("セクション[exec]が見つかりません。"));
}

TEST_F(ProfileLookupTest, LockedFileCountsAsMissingAndIsClosed)
{
    WriteIni("[exec]\nbefore=x\n");
    Phone().lockedFiles.insert(IniPathText());
    const Profile profile(Instance());
    EXPECT_TRUE(profile.FileMissing());
    EXPECT_TRUE(profile.Sections().empty());
    EXPECT_EQ(Phone().OpenHandles("file"), 0U);
}

TEST_F(ProfileLookupTest, LongNameInFailureIsNeverCut)
{
    WriteIni("[exec]\nbefore=x\n");
    const Profile profile(Instance());
    const WString longName = WRepeat('k', 600);
    EXPECT_EQ(FailureOf(profile, NoKey(WTEXT("exec"), longName)),
              WTEXT("キー[") + longName + WTEXT("]が見つかりません。"));
    EXPECT_EQ(FailureOf(profile, NoSection(longName, WTEXT("k"))),
              WTEXT("セクション[") + longName + WTEXT("]が見つかりません。"));
}

// A read error ends reading: what came whole before it stays, the line it cut is dropped, and the
// file still counts as present, so no default is written over it.
TEST_F(ProfileLookupTest, ReadErrorKeepsWholeLinesBeforeIt)
{
    for (const std::string encoding : {"", "\xFF\xFE", "\x82\xA0\n"}) {
        for (const bool inMemory : {false, true}) {
            SCOPED_TRACE(encoding + (inMemory ? " in memory" : " on disk"));
            Phone().Reset();
            PlaceProgramIn(Folder());
            Phone().filesInMemory = inMemory;
            // The first read of 64 KiB ends inside the padding line; the second read fails.
            std::string text = "[exec]\nbefore=x\npad=" + Repeat('p', 70000) + "\nafter=y\n";
            if (encoding == "\xFF\xFE") {
                text = Utf16Le(text);
            }
            WriteIni(encoding + text);
            Phone().Fail("ReadFile", 2);
            const Profile profile(Instance());
            EXPECT_FALSE(profile.FileMissing());
            EXPECT_EQ(profile.GetValue(WTEXT("exec"), WTEXT("before")), WTEXT("x"));
            EXPECT_EQ(FailureOf(profile, NoKey(WTEXT("exec"), WTEXT("pad"))),
                      WTEXT("キー[pad]が見つかりません。"));
            EXPECT_EQ(FailureOf(profile, NoKey(WTEXT("exec"), WTEXT("after"))),
                      WTEXT("キー[after]が見つかりません。"));
            EXPECT_EQ(Phone().OpenHandles("file"), 0U);
        }
    }
}

// Without the code page (a phone set up for another language) a file that is not UTF-8 still
// reads: its ASCII as it is, every other byte as U+FFFD.
TEST_F(ProfileLookupTest, PhoneWithoutTheCodePageStillReadsTheAscii)
{
    WriteIni("[exec]\r\nbefore=\\\x91\x97\\a.exe\r\nafter=b.exe\r\n");
    Phone().Fail("MultiByteToWideChar");
    const Profile profile(Instance());
    EXPECT_EQ(profile.GetValue(WTEXT("exec"), WTEXT("before")), WTEXT("\\\uFFFD\uFFFD\\a.exe"));
    EXPECT_EQ(profile.GetValue(WTEXT("exec"), WTEXT("after")), WTEXT("b.exe"));
}

TEST_F(ProfileLookupTest, ReadErrorAtFirstReadGivesEmptyPresentProfile)
{
    WriteIni("[exec]\nbefore=x\n");
    Phone().Fail("ReadFile", 1);
    const Profile profile(Instance());
    EXPECT_FALSE(profile.FileMissing());
    EXPECT_TRUE(profile.Sections().empty());
    EXPECT_EQ(Phone().OpenHandles("file"), 0U);
}

TEST_F(ProfileLookupTest, FileInJapaneseFolderIsFound)
{
    const auto folder = Folder() / "送受信ツール";
    std::filesystem::create_directory(folder);
    PlaceProgramIn(folder);
    WriteIni("[exec]\nbefore=x\n");
    const Profile profile(Instance());
    EXPECT_EQ(profile.Path(), sim::Utf16(folder.string() + "/quillet.ini"));
    EXPECT_EQ(profile.GetValue(WTEXT("exec"), WTEXT("before")), WTEXT("x"));
}

TEST_F(ProfileLookupTest, LoadStartsAfresh)
{
    WriteIni("[exec]\nbefore=x\n");
    Profile profile(Instance());
    WriteIni("[other]\nk=v\n");
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(SectionNames(profile), std::vector<WString>{WTEXT("other")});
    EXPECT_EQ(FailureOf(profile, NoSection(WTEXT("exec"), WTEXT("before"))),
              WTEXT("セクション[exec]が見つかりません。"));
}

}  // namespace
