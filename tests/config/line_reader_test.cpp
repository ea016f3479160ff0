// The file arrives in reads of any size: a line end, a character or a byte-order mark split
// between two reads must come out as if read at once.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/line_reader.h"
#include "support/utf16_bytes.h"

namespace {

using namespace std::string_literals;

std::vector<WString> ReadInPieces(const std::string& bytes, std::size_t pieceSize)
{
    std::vector<WString> lines;
    ProfileLineReader reader(lines);
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
        reader.Feed(std::string_view(bytes).substr(at, pieceSize));
    }
    reader.Finish();
    return lines;
}

TEST(ProfileLineReaderTest, PiecesReadAsWhole)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<WString> lines;
    };
    const WString text = WTEXT("[exec]\r\nbefore=起\U0001F600\r\r\nafter=");
    const std::vector<Case> cases = {
        {"UTF-8",
         "\xEF\xBB\xBF[exec]\r\nbefore=\xE8\xB5\xB7\xF0\x9F\x98\x80\r\r\nafter=" + std::string(1500, 'x') +
             "\r\n\xFF\xE3\x81\r",
         {WTEXT("[exec]"), WTEXT("before=起\U0001F600\r"), WTEXT("after=") + WString(1017, 'x'),
          WTEXT("\uFFFD\uFFFD\r")}},
        {"UTF-16LE",
         Utf16Bytes(text + WString(1500, 'x') + WTEXT("\r"), false),
         {WTEXT("[exec]"), WTEXT("before=起\U0001F600\r"), WTEXT("after=") + WString(1017, 'x')}},
        // The cut falls just after a whole pair: its low half stays.
        {"UTF-16LE, a pair ending at the limit",
         Utf16Bytes(WString(1021, 'x') + WTEXT("\U0001F600yz\r\nend"), false),
         {WString(1021, 'x') + WTEXT("\U0001F600"), WTEXT("end")}},
        {"UTF-16BE, odd last byte",
         Utf16Bytes(text, true) + "\x00"s,
         {WTEXT("[exec]"), WTEXT("before=起\U0001F600\r"), WTEXT("after=\uFFFD")}},
        // The character split between pieces, the first line not UTF-8 only at its end.
        {"Shift-JIS",
         "# \x91\x97\x8E\xF3\x90M\x82\xA0\r\nbefore=\x82\xA0" + std::string(1500, 'x') +
             "\r\nafter=\x8BN\x82",
         {WTEXT("# 送受信あ"), WTEXT("before=あ") + WString(1015, 'x'), WTEXT("after=起\u30FB")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t piece = 1; piece <= 8; ++piece) {
            SCOPED_TRACE(piece);
            EXPECT_EQ(ReadInPieces(c.bytes, piece), c.lines);
        }
        EXPECT_EQ(ReadInPieces(c.bytes, c.bytes.size()), c.lines);
    }
}

// The encoding is decided once for the whole file: a byte that is not UTF-8 anywhere makes every
// line Shift-JIS, and ASCII reads alike whichever way the file is taken.
TEST(ProfileLineReaderTest, DecidesTheEncodingOnceForTheFile)
{
    struct Case {
        const char* name;
        std::string bytes;
        ProfileEncoding encoding;
        std::vector<WString> lines;
    };
    const std::string ascii = "[exec]\r\nbefore=a.exe|-q\r\n";
    const std::vector<WString> asciiLines = {WTEXT("[exec]"), WTEXT("before=a.exe|-q"), WTEXT("")};
    const std::vector<Case> cases = {
        {"ASCII", ascii, ProfileEncoding::Utf8, asciiLines},
        {"ASCII after a UTF-8 byte-order mark", "\xEF\xBB\xBF" + ascii, ProfileEncoding::Utf8, asciiLines},
        {"ASCII, then a Shift-JIS line",
         ascii + "\x82\xA0",
         ProfileEncoding::Ansi,
         {WTEXT("[exec]"), WTEXT("before=a.exe|-q"), WTEXT("あ")}},
        {"UTF-8 throughout", "\xE8\xB5\xB7\n\xE3\x81\x82", ProfileEncoding::Utf8, {WTEXT("起"), WTEXT("あ")}},
        {"UTF-8 lines, then a byte that is not",
         "\xE8\xB5\xB7\n\x82\xA0",
         ProfileEncoding::Ansi,
         {WTEXT("\u894D\uFF77"), WTEXT("あ")}},
        {"a UTF-8 character cut short by the end",
         "a\n\xE3\x81",
         ProfileEncoding::Ansi,
         {WTEXT("a"), WTEXT("縺")}},
        {"UTF-8 byte-order mark, then bytes that are not",
         "\xEF\xBB\xBF\x82\xA0",
         ProfileEncoding::Utf8,
         {WTEXT("\uFFFD\uFFFD")}},
        {"half a UTF-8 byte-order mark", "\xEF\xBB", ProfileEncoding::Ansi, {WTEXT("\u30FB")}},
        // No byte-order mark, but the first bytes begin like one: they are the text's own.
        {"UTF-8 whose first character begins like a byte-order mark",
         "\xEF\xBC\xBB\xEF\xBB\xBC]",
         ProfileEncoding::Utf8,
         {WTEXT("\uFF3B\uFEFC]")}},
        {"UTF-8 whose first character differs from a byte-order mark only in its last byte",
         "\xEF\xBB\xBC",
         ProfileEncoding::Utf8,
         {WTEXT("\uFEFC")}},
        {"FF, then a byte that is no mark",
         "\xFF"
         "a\n",
         ProfileEncoding::Ansi,
         {WTEXT("\u30FBa"), WTEXT("")}},
        {"FE, then a byte that is no mark",
         "\xFE"
         "a",
         ProfileEncoding::Ansi,
         {WTEXT("\u30FBa")}},
        {"UTF-16LE byte-order mark alone", "\xFF\xFE", ProfileEncoding::Utf16Le, {WTEXT("")}},
        {"UTF-16BE, a second mark is a character",
         "\xFE\xFF\xFE\xFF\x00"
         "a"s,
         ProfileEncoding::Utf16Be,
         {WTEXT("\uFEFFa")}},
        // A lead byte just before a line feed never takes the line feed with it.
        {"Shift-JIS lead byte before a line feed",
         "before=\x82\nafter=x\r\n",
         ProfileEncoding::Ansi,
         {WTEXT("before=\u30FB"), WTEXT("after=x"), WTEXT("")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, c.bytes.size() + 1}) {
            std::vector<WString> lines;
            ProfileLineReader reader(lines);
            for (std::size_t at = 0; at < c.bytes.size(); at += piece) {
                reader.Feed(std::string_view(c.bytes).substr(at, piece));
            }
            reader.Finish();
            EXPECT_EQ(reader.Encoding(), c.encoding);
            EXPECT_EQ(lines, c.lines);
        }
    }
}

TEST(ProfileLineReaderTest, LineEndsGiveTheFinalLine)
{
    struct Case {
        std::string bytes;
        std::vector<WString> lines;
    };
    const std::vector<Case> cases = {
        {"", {WTEXT("")}},
        {"a", {WTEXT("a")}},
        {"a\n", {WTEXT("a"), WTEXT("")}},
        {"\xEF\xBB\xBF", {WTEXT("")}},
        {"\xEF\xBB\xBF\xEF\xBB\xBF", {WTEXT("\uFEFF")}},
        {"\r", {WTEXT("\r")}},
        {"\r\r\n\n", {WTEXT("\r"), WTEXT(""), WTEXT("")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ReadInPieces(c.bytes, 1), c.lines);
    }
}

TEST(Utf8Test, EncodesWhatItDecodes)
{
    const WString text = WTEXT("a\u00E9\u8D77\U0001F600");
    const std::string bytes = EncodeUtf8(text);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE8\xB5\xB7\xF0\x9F\x98\x80");
    WString decoded;
    Utf8Decoder decoder;
    decoder.Decode(bytes, decoded);
    decoder.Finish(decoded);
    EXPECT_EQ(decoded, text);
}

TEST(Utf8Test, IllFormedBytesBecomeReplacementCharacters)
{
    struct Case {
        std::string bytes;
        WString text;
    };
    const std::vector<Case> cases = {
        {"\x80", WTEXT("\uFFFD")},
        {"\xC0\x80", WTEXT("\uFFFD\uFFFD")},                      // overlong NUL
        {"\xE0\x80\x80", WTEXT("\uFFFD\uFFFD\uFFFD")},            // overlong
        {"\xED\xA0\x80", WTEXT("\uFFFD\uFFFD\uFFFD")},            // a surrogate
        {"\xF4\x90\x80\x80", WTEXT("\uFFFD\uFFFD\uFFFD\uFFFD")},  // past U+10FFFF
        {"\xE3\x81"
         "a",
         WTEXT("\uFFFDa")},                 // cut short by another character
        {"\xF0\x9F\x98", WTEXT("\uFFFD")},  // cut short by the end
    };
    for (const Case& c : cases) {
        WString decoded;
        Utf8Decoder decoder;
        decoder.Decode(c.bytes, decoded);
        decoder.Finish(decoded);
        EXPECT_EQ(decoded, c.text) << c.bytes.size() << " bytes";
    }
    EXPECT_EQ(EncodeUtf8(WString(1, static_cast<WCHAR>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
