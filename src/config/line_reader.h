// Turns the bytes of the ProfileFile into its lines, as they arrive from the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/text_decoders.h"
#include "config/utf8.h"
#include "platform/text.h"

// The longest line kept, in UTF-16 code units, not counting the line end.
constexpr std::size_t kMaxLineLength = 1023;

// How the file's bytes were taken, decided once for the whole file.
enum class ProfileEncoding {
    Utf8,     // a UTF-8 byte-order mark, or bytes that are UTF-8 throughout
    Utf16Le,  // the bytes FF FE first
    Utf16Be,  // the bytes FE FF first
    Ansi,     // anything else: the phone's ANSI code page, 932
};

// Reads the file the way a text-mode stream would on the device, but ends cleanly on anything
// that would leave such a stream stuck:
// - the encoding is decided once, as ProfileEncoding says; a byte-order mark is the encoding's
//   signature, not a character, and is dropped. Until a file without one has shown a byte
//   that is not UTF-8, it is read as UTF-8; at such a byte the lines read so far are read
//   again from the bytes as Shift-JIS. Only the bytes from the start of the line that held the
//   first byte above 0x7F are kept for that: the lines before it are ASCII, which both read
//   alike;
// - CR LF is one line end in every encoding; a CR anywhere else is an ordinary character of
//   its line;
// - a line keeps at most kMaxLineLength code units after decoding; the rest of an overlong
//   line, up to its line feed, is dropped (never a character pair split in half), and reading
//   goes on with the next line;
// - a U+0000 ends the line's text; the rest up to the line feed is dropped;
// - the text after the last line feed is a line too, empty when the file ends with a line feed.
class ProfileLineReader {
public:
    // Appends each line to lines as it is complete.
    explicit ProfileLineReader(std::vector<WString>& lines);

    // A piece of the file, of any size below 2 GiB.
    void Feed(std::string_view bytes);
    // The file is over: the last line is complete.
    void Finish();

    // The encoding as decided so far: until the file is over, a file without a byte-order mark
    // may still turn out to be Shift-JIS.
    [[nodiscard]] ProfileEncoding Encoding() const noexcept { return encoding_; }

private:
    enum class Stage { Signature, Guessing, Decided };

    void TakeSignature(std::string_view& bytes);
    void Guess(std::string_view bytes);
    void GuessAscii(std::string_view bytes);
    void TurnToAnsi();
    void Decode(std::string_view bytes);
    void ClearDecoded(std::size_t bytes);
    void TakeAll();
    void AppendRun(WStringView run);
    void EndLine();

    std::vector<WString>& lines_;
    Stage stage_ = Stage::Signature;
    ProfileEncoding encoding_ = ProfileEncoding::Utf8;
    std::string signature_;  // the first bytes, until they show whether a byte-order mark is there
    // While guessing: whether a byte above 0x7F came yet; the bytes from the start of the line
    // that held it; and how many lines came before that line.
    bool sawHighByte_ = false;
    std::string kept_;
    std::size_t linesBeforeKept_ = 0;
    Utf8Decoder utf8_;
    Utf16Decoder utf16_{false};
    AnsiDecoder ansi_;
    WString decoded_;
    WString line_;
    bool pendingCr_ = false;
    bool dropping_ = false;
};
