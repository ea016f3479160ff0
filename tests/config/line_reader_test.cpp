// The file arrives in reads of any size: a line end, a character or a byte-order mark split
// between two reads must come out as if read at once.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/line_reader.h"

namespace {

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
    const std::string bytes =
        "\xEF\xBB\xBF[exec]\r\nbefore=\xE8\xB5\xB7\xF0\x9F\x98\x80\r\r\nafter=" + std::string(1500, 'x') +
        "\r\n\xFF\xE3\x81\r";
    const std::vector<WString> expected = {
        WTEXT("[exec]"),
        WTEXT("before=起\U0001F600\r"),
        WTEXT("after=") + WString(1017, 'x'),
        WTEXT("\uFFFD\uFFFD\r"),
    };
    for (std::size_t piece = 1; piece <= 8; ++piece) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(ReadInPieces(bytes, piece), expected);
    }
    EXPECT_EQ(ReadInPieces(bytes, bytes.size()), expected);
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
