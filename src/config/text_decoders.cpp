#include "config/text_decoders.h"

#include <algorithm>
#include <climits>

#include "platform/code_page.h"

namespace {

constexpr char kLineFeedByte = '\n';
constexpr WCHAR kLineFeed = 0x000A;
constexpr WCHAR kReplacement = 0xFFFD;

// Every lead byte of code page 932 is at 0x81 or above, so a line feed after a byte below 0x80
// can't be the second byte of a character.
bool IsHighByte(char byte)
{
    return static_cast<unsigned char>(byte) >= 0x80;
}

}  // namespace

void Utf16Decoder::Decode(std::string_view bytes, WString& out)
{
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (!havePending_) {
            pending_ = value;
            havePending_ = true;
            continue;
        }
        havePending_ = false;
        const unsigned high = bigEndian_ ? pending_ : value;
        const unsigned low = bigEndian_ ? value : pending_;
        out += static_cast<WCHAR>((high << 8U) | low);
    }
}

void Utf16Decoder::Finish(WString& out)
{
    if (havePending_) {
        havePending_ = false;
        out += kReplacement;
    }
}

void AnsiDecoder::Decode(std::string_view bytes, WString& out)
{
    if (!gathered_.empty()) {
        const auto end = bytes.find(kLineFeedByte);
        Gather(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            return;
        }
        Convert(gathered_, out);
        out += kLineFeed;
        gathered_.clear();
        bytes.remove_prefix(end + 1);
    }
    // Whole lines go over together as long as none of them ends in a byte that could be a
    // lead byte; such a line goes over without its line feed, which is added here.
    std::size_t runStart = 0;
    std::size_t lineStart = 0;
    for (auto end = bytes.find(kLineFeedByte); end != std::string_view::npos;
         end = bytes.find(kLineFeedByte, lineStart)) {
        if (end > lineStart && IsHighByte(bytes[end - 1])) {
            Convert(bytes.substr(runStart, end - runStart), out);
            out += kLineFeed;
            runStart = end + 1;
        }
        lineStart = end + 1;
    }
    Convert(bytes.substr(runStart, lineStart - runStart), out);
    Gather(bytes.substr(lineStart));
}

void AnsiDecoder::Finish(WString& out)
{
    Convert(gathered_, out);
    gathered_.clear();
}

void AnsiDecoder::Gather(std::string_view bytes)
{
    const std::size_t room = kGatheredLimit - std::min(gathered_.size(), kGatheredLimit);
    gathered_.append(bytes.substr(0, room));
}

// No byte of the code page makes more than one UTF-16 unit. Where the platform can't decode
// (a phone without the code page), the file's ASCII still reads and every other byte becomes
// U+FFFD, as when the program read only UTF-8.
void AnsiDecoder::Convert(std::string_view bytes, WString& out)
{
    if (bytes.empty()) {
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    const int made = bytes.size() > INT_MAX
                         ? 0
                         : MultiByteToWideChar(kAnsiCodePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                               out.data() + start, static_cast<int>(bytes.size()));
    if (made > 0) {
        out.resize(start + static_cast<std::size_t>(made));
        return;
    }
    std::transform(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(start),
                   [](char byte) { return IsHighByte(byte) ? kReplacement : static_cast<WCHAR>(byte); });
}
