// UTF-8, the encoding the ProfileFile is written in and most often read in, to and from the
// program's UTF-16 text.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

// Decodes UTF-8 arriving in pieces of any size: a character split between two reads comes out
// whole. Bytes that are not UTF-8 (stray continuation bytes, overlong forms, surrogates, values
// past U+10FFFF, a sequence cut short) become U+FFFD, one for each maximal ill-formed part, so
// that a damaged file still reads and its good characters keep their places.
class Utf8Decoder {
public:
    // Appends the UTF-16 code units of bytes to out.
    void Decode(std::string_view bytes, WString& out);
    // The input is over: a sequence still waiting for bytes becomes U+FFFD.
    void Finish(WString& out);
    // Whether any byte so far was not UTF-8 (a U+FFFD written in UTF-8 is a character).
    [[nodiscard]] bool IllFormed() const noexcept { return illFormed_; }

private:
    void Take(unsigned char byte, WString& out);
    void Start(unsigned char byte, WString& out);
    void Reset() noexcept;
    void Replace(WString& out);

    char32_t codePoint_ = 0;
    int bytesNeeded_ = 0;
    int bytesSeen_ = 0;
    unsigned char lower_ = 0x80;
    unsigned char upper_ = 0xBF;
    bool illFormed_ = false;
};

// UTF-8 for text; a lone surrogate, which no character stands for, becomes U+FFFD.
std::string EncodeUtf8(WStringView text);

// Appends one code point as UTF-16.
void AppendCodePoint(char32_t codePoint, WString& out);
