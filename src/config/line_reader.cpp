#include "config/line_reader.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr WCHAR kLineFeed = 0x000A;
constexpr WCHAR kCarriageReturn = 0x000D;
constexpr char kLineFeedByte = '\n';

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeSignature = "\xFF\xFE";
constexpr std::string_view kUtf16BeSignature = "\xFE\xFF";

bool IsHighSurrogate(WCHAR unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsHighByte(char byte)
{
    return static_cast<unsigned char>(byte) >= 0x80;
}

bool CouldBecome(std::string_view head, std::string_view signature)
{
    return head.size() < signature.size() && signature.starts_with(head);
}

}  // namespace

ProfileLineReader::ProfileLineReader(std::vector<WString>& lines)
    : lines_(lines), linesBeforeKept_(lines.size())
{
}

void ProfileLineReader::Feed(std::string_view bytes)
{
    if (stage_ == Stage::Signature) {
        TakeSignature(bytes);
    }
    if (stage_ == Stage::Guessing) {
        Guess(bytes);
    } else if (stage_ == Stage::Decided) {
        Decode(bytes);
    }
}

void ProfileLineReader::Finish()
{
    if (stage_ == Stage::Signature) {
        stage_ = Stage::Guessing;
        const std::string head = std::exchange(signature_, std::string());
        Guess(head);
    }
    decoded_.clear();
    if (stage_ == Stage::Guessing) {
        // A character cut short by the end of the file is no UTF-8 either.
        utf8_.Finish(decoded_);
        if (utf8_.IllFormed()) {
            TurnToAnsi();
            decoded_.clear();
            ansi_.Finish(decoded_);
        }
    } else if (encoding_ == ProfileEncoding::Utf8) {
        utf8_.Finish(decoded_);
    } else if (encoding_ == ProfileEncoding::Ansi) {
        ansi_.Finish(decoded_);
    } else {
        utf16_.Finish(decoded_);
    }
    TakeAll();
    if (std::exchange(pendingCr_, false)) {
        AppendRun(WStringView(&kCarriageReturn, 1));
    }
    EndLine();
}

// The first bytes are held until they are a byte-order mark or can no longer become one.
void ProfileLineReader::TakeSignature(std::string_view& bytes)
{
    while (stage_ == Stage::Signature && !bytes.empty()) {
        signature_ += bytes.front();
        bytes.remove_prefix(1);
        if (signature_ == kUtf16LeSignature || signature_ == kUtf16BeSignature) {
            encoding_ = signature_ == kUtf16LeSignature ? ProfileEncoding::Utf16Le : ProfileEncoding::Utf16Be;
            utf16_ = Utf16Decoder(encoding_ == ProfileEncoding::Utf16Be);
            stage_ = Stage::Decided;
        } else if (signature_ == kUtf8Signature) {
            stage_ = Stage::Decided;
        } else if (!CouldBecome(signature_, kUtf8Signature) && !CouldBecome(signature_, kUtf16LeSignature) &&
                   !CouldBecome(signature_, kUtf16BeSignature)) {
            stage_ = Stage::Guessing;
            const std::string head = std::exchange(signature_, std::string());
            Guess(head);
        }
    }
    if (stage_ != Stage::Signature) {
        signature_.clear();
    }
}

void ProfileLineReader::Guess(std::string_view bytes)
{
    if (!sawHighByte_) {
        const auto high = std::find_if(bytes.begin(), bytes.end(), IsHighByte);
        const auto ascii = static_cast<std::size_t>(high - bytes.begin());
        GuessAscii(bytes.substr(0, ascii));
        if (high == bytes.end()) {
            return;
        }
        sawHighByte_ = true;
        bytes.remove_prefix(ascii);
    }
    kept_.append(bytes);
    ClearDecoded(bytes.size());
    utf8_.Decode(bytes, decoded_);
    if (utf8_.IllFormed()) {
        TurnToAnsi();
        return;
    }
    TakeAll();
}

// ASCII reads alike as UTF-8 and as Shift-JIS, so only the line still open is kept.
void ProfileLineReader::GuessAscii(std::string_view bytes)
{
    decoded_.assign(bytes.begin(), bytes.end());
    TakeAll();
    const auto lastLineFeed = bytes.rfind(kLineFeedByte);
    if (lastLineFeed == std::string_view::npos) {
        kept_.append(bytes);
        return;
    }
    kept_.assign(bytes.substr(lastLineFeed + 1));
    linesBeforeKept_ = lines_.size();
}

// The file is not UTF-8: the lines read from the kept bytes on are read again.
void ProfileLineReader::TurnToAnsi()
{
    stage_ = Stage::Decided;
    encoding_ = ProfileEncoding::Ansi;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(linesBeforeKept_), lines_.end());
    line_.clear();
    pendingCr_ = false;
    dropping_ = false;
    const std::string kept = std::exchange(kept_, std::string());
    Decode(kept);
}

void ProfileLineReader::Decode(std::string_view bytes)
{
    ClearDecoded(bytes.size());
    switch (encoding_) {
        case ProfileEncoding::Utf8: utf8_.Decode(bytes, decoded_); break;
        case ProfileEncoding::Utf16Le:
        case ProfileEncoding::Utf16Be: utf16_.Decode(bytes, decoded_); break;
        case ProfileEncoding::Ansi: ansi_.Decode(bytes, decoded_); break;
    }
    TakeAll();
}

// No decoder makes more units than it takes bytes, so one allocation serves a whole piece.
void ProfileLineReader::ClearDecoded(std::size_t bytes)
{
    decoded_.clear();
    decoded_.reserve(bytes);
}

// The decoded text goes over a run of ordinary units at a time; only a line feed, a CR and a
// U+0000 need a decision of their own.
void ProfileLineReader::TakeAll()
{
    constexpr std::array<WCHAR, 3> kSpecial = {kLineFeed, kCarriageReturn, 0};
    WStringView rest(decoded_);
    while (!rest.empty()) {
        // A CR is held back until the next unit shows whether it belongs to a CR LF line end.
        if (std::exchange(pendingCr_, false)) {
            if (rest.front() == kLineFeed) {
                rest.remove_prefix(1);
                EndLine();
                continue;
            }
            AppendRun(WStringView(&kCarriageReturn, 1));
        }
        const auto special =
            std::min(rest.find_first_of(WStringView(kSpecial.data(), kSpecial.size())), rest.size());
        AppendRun(rest.substr(0, special));
        if (special == rest.size()) {
            return;
        }
        const WCHAR unit = rest[special];
        rest.remove_prefix(special + 1);
        if (unit == kLineFeed) {
            EndLine();
        } else if (unit == kCarriageReturn) {
            pendingCr_ = true;
        } else {
            dropping_ = true;  // a U+0000 ends the line's text
        }
    }
}

void ProfileLineReader::AppendRun(WStringView run)
{
    if (dropping_ || run.empty()) {
        return;
    }
    const std::size_t room = kMaxLineLength - line_.size();
    line_.append(run.substr(0, room));
    if (run.size() > room) {
        // Cut here; half a surrogate pair at the cut would be no character at all.
        if (IsHighSurrogate(line_.back())) {
            line_.pop_back();
        }
        dropping_ = true;
    }
}

// The line goes out as a copy of its own size; line_ keeps its room for the next line rather
// than growing again from nothing.
void ProfileLineReader::EndLine()
{
    lines_.push_back(line_);
    line_.clear();
    dropping_ = false;
}
