// Turns the bytes of the ProfileFile into its lines, as they arrive from the file.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "config/utf8.h"
#include "platform/text.h"

// The longest line kept, in UTF-16 code units, not counting the line end.
constexpr std::size_t kMaxLineLength = 1023;

// Reads the file the way a text-mode stream would on the device, but ends cleanly on anything
// that would leave such a stream stuck:
// - the file is UTF-8; a byte-order mark at its very start is the encoding's signature, not a
//   character, and is dropped;
// - CR LF is one line end; a CR anywhere else is an ordinary character of its line;
// - a line keeps at most kMaxLineLength code units; the rest of an overlong line, up to its
//   line feed, is dropped (never a character pair split in half), and reading goes on with the
//   next line;
// - a U+0000 ends the line's text; the rest up to the line feed is dropped;
// - the text after the last line feed is a line too, empty when the file ends with a line feed.
class ProfileLineReader {
public:
    explicit ProfileLineReader(std::vector<WString>& lines) : lines_(lines) {}

    void Feed(std::string_view bytes);
    // The file is over: the last line is complete.
    void Finish();

private:
    void Take(WCHAR unit);
    void Append(WCHAR unit);
    void EndLine();

    std::vector<WString>& lines_;
    Utf8Decoder decoder_;
    WString decoded_;
    WString line_;
    bool atStart_ = true;
    bool pendingCr_ = false;
    bool dropping_ = false;
};
