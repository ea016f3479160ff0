#include "config/utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit < 0xE000;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

void AppendCodePoint(char32_t codePoint, WString& out)
{
    if (codePoint < 0x10000) {
        out += static_cast<WCHAR>(codePoint);
        return;
    }
    const char32_t offset = codePoint - 0x10000;
    out += static_cast<WCHAR>(0xD800 + (offset >> 10));
    out += static_cast<WCHAR>(0xDC00 + (offset & 0x3FF));
}

void Utf8Decoder::Decode(std::string_view bytes, WString& out)
{
    for (const char byte : bytes) {
        Take(static_cast<unsigned char>(byte), out);
    }
}

void Utf8Decoder::Finish(WString& out)
{
    if (bytesNeeded_ != 0) {
        Reset();
        Replace(out);
    }
}

void Utf8Decoder::Take(unsigned char byte, WString& out)
{
    if (bytesNeeded_ == 0) {
        Start(byte, out);
        return;
    }
    if (byte < lower_ || byte > upper_) {
        // The sequence so far is one ill-formed part; the byte that broke it starts afresh.
        Reset();
        Replace(out);
        Start(byte, out);
        return;
    }
    lower_ = 0x80;
    upper_ = 0xBF;
    codePoint_ = (codePoint_ << 6) | (byte & 0x3FU);
    if (++bytesSeen_ == bytesNeeded_) {
        AppendCodePoint(codePoint_, out);
        Reset();
    }
}

// The narrowed bounds of the second byte rule out overlong forms, surrogates and code points
// past U+10FFFF before they are assembled.
void Utf8Decoder::Start(unsigned char byte, WString& out)
{
    if (byte < 0x80) {
        out += static_cast<WCHAR>(byte);
    } else if (byte >= 0xC2 && byte <= 0xDF) {
        bytesNeeded_ = 1;
        codePoint_ = byte & 0x1FU;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lower_ = byte == 0xE0 ? 0xA0 : 0x80;
        upper_ = byte == 0xED ? 0x9F : 0xBF;
        bytesNeeded_ = 2;
        codePoint_ = byte & 0x0FU;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lower_ = byte == 0xF0 ? 0x90 : 0x80;
        upper_ = byte == 0xF4 ? 0x8F : 0xBF;
        bytesNeeded_ = 3;
        codePoint_ = byte & 0x07U;
    } else {
        Replace(out);
    }
}

void Utf8Decoder::Replace(WString& out)
{
    illFormed_ = true;
    out += static_cast<WCHAR>(kReplacement);
}

void Utf8Decoder::Reset() noexcept
{
    codePoint_ = 0;
    bytesNeeded_ = 0;
    bytesSeen_ = 0;
    lower_ = 0x80;
    upper_ = 0xBF;
}

std::string EncodeUtf8(WStringView text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00U);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = kReplacement;
        }
        AppendUtf8(c, out);
    }
    return out;
}
