// The ProfileFile's other encodings on disk, decoded into the program's UTF-16 text as the
// bytes arrive: UTF-16 in either byte order, and the phone's ANSI code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text.h"

// UTF-16 with its byte order given. A byte left without its partner at the end becomes U+FFFD;
// surrogates pass as they are, paired or not, since they are the program's own text units.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) noexcept : bigEndian_(bigEndian) {}

    void Decode(std::string_view bytes, WString& out);
    void Finish(WString& out);

private:
    bool bigEndian_;
    bool havePending_ = false;
    unsigned char pending_ = 0;
};

// The phone's ANSI code page (932, Shift-JIS), decoded by the platform. The file is handed over
// in runs of whole lines, each line end decoded apart from the bytes before it: a lead byte just
// before a line feed (a damaged file, or one cut by an editor) would otherwise take the line
// feed as its second byte, and two lines would run together. A line that arrives in several
// pieces is gathered first, since a character may be split between them; only its first
// kGatheredLimit bytes are kept, which always hold more than a line may keep.
class AnsiDecoder {
public:
    static constexpr std::size_t kGatheredLimit = 4096;

    void Decode(std::string_view bytes, WString& out);
    void Finish(WString& out);

private:
    void Gather(std::string_view bytes);
    static void Convert(std::string_view bytes, WString& out);

    std::string gathered_;  // the start of a line that no piece so far has finished
};
