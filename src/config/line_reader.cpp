#include "config/line_reader.h"

namespace {

constexpr WCHAR kLineFeed = 0x000A;
constexpr WCHAR kCarriageReturn = 0x000D;
constexpr WCHAR kByteOrderMark = 0xFEFF;

bool IsHighSurrogate(WCHAR unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}

}  // namespace

void ProfileLineReader::Feed(std::string_view bytes)
{
    decoded_.clear();
    decoder_.Decode(bytes, decoded_);
    for (const WCHAR unit : decoded_) {
        Take(unit);
    }
}

void ProfileLineReader::Finish()
{
    decoded_.clear();
    decoder_.Finish(decoded_);
    for (const WCHAR unit : decoded_) {
        Take(unit);
    }
    if (pendingCr_) {
        pendingCr_ = false;
        Append(kCarriageReturn);
    }
    EndLine();
}

void ProfileLineReader::Take(WCHAR unit)
{
    if (atStart_) {
        atStart_ = false;
        if (unit == kByteOrderMark) {
            return;
        }
    }
    // A CR is held back until the next unit shows whether it belongs to a CR LF line end.
    if (pendingCr_) {
        pendingCr_ = false;
        if (unit == kLineFeed) {
            EndLine();
            return;
        }
        Append(kCarriageReturn);
    }
    if (unit == kLineFeed) {
        EndLine();
    } else if (unit == kCarriageReturn) {
        pendingCr_ = true;
    } else {
        Append(unit);
    }
}

void ProfileLineReader::Append(WCHAR unit)
{
    if (dropping_) {
        return;
    }
    if (unit == 0) {
        dropping_ = true;
        return;
    }
    if (line_.size() == kMaxLineLength) {
        // Cut here; half a surrogate pair at the cut would be no character at all.
        if (IsHighSurrogate(line_.back())) {
            line_.pop_back();
        }
        dropping_ = true;
        return;
    }
    line_ += unit;
}

void ProfileLineReader::EndLine()
{
    lines_.push_back(std::move(line_));
    line_.clear();
    dropping_ = false;
}
