// Code page 932 on the simulated phone: Shift-JIS as Windows defines it, which glibc's iconv
// knows as "CP932" (its 0x5C and 0x7E are the backslash and the tilde, as on Windows). Each
// conversion is in the trace, as every platform call is; it can be made to fail, as it does on
// a phone without the code page.
#include <iconv.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "sim/phone.h"

namespace {

constexpr DWORD kErrorInvalidParameter = 87;
// What Windows puts in place of bytes that stand for no character of code page 932.
constexpr WCHAR kDefaultCharacter = 0x30FB;

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One converter for each thread, opened on first use.
class Cp932Converter {
public:
    Cp932Converter() : descriptor_(iconv_open("UTF-16LE", "CP932")) {}
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;
    Cp932Converter(Cp932Converter&&) = delete;
    Cp932Converter& operator=(Cp932Converter&&) = delete;
    ~Cp932Converter()
    {
        if (Ready()) {
            iconv_close(descriptor_);
        }
    }

    [[nodiscard]] bool Ready() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

    // Windows' way with bytes that are no character: a lead byte takes the byte after it
    // along, whatever that is, and the two become one default character; any other byte
    // becomes one on its own. The text is made in place of what text held.
    void Decode(std::string_view bytes, WString& text)
    {
        text.clear();
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        while (!bytes.empty()) {
            const std::size_t taken = Convert(bytes, text);
            bytes.remove_prefix(taken);
            // iconv stops only at what it rejects (EILSEQ) or cannot finish (EINVAL): the
            // output always has room.
            if (!bytes.empty()) {
                const bool pair = IsLeadByte(static_cast<unsigned char>(bytes.front())) && bytes.size() > 1;
                bytes.remove_prefix(pair ? 2 : 1);
                text += kDefaultCharacter;
                iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
            }
        }
    }

private:
    // Converts until iconv stops; answers how many bytes it took.
    std::size_t Convert(std::string_view bytes, WString& text)
    {
        // No byte of code page 932 makes more than one UTF-16 unit. The buffer is kept from
        // call to call: a fuzzer converts millions of short texts.
        const std::size_t room = bytes.size() * 2;
        if (units_.size() < room) {
            units_.resize(room);
        }
        char* in = const_cast<char*>(bytes.data());  // iconv's signature; it never writes there
        std::size_t inLeft = bytes.size();
        char* out = units_.data();
        std::size_t outLeft = room;
        iconv(descriptor_, &in, &inLeft, &out, &outLeft);
        const std::size_t made = room - outLeft;
        for (std::size_t i = 0; i + 1 < made; i += 2) {
            text += static_cast<WCHAR>(static_cast<unsigned char>(units_[i]) |
                                       (static_cast<unsigned char>(units_[i + 1]) << 8U));
        }
        return bytes.size() - inLeft;
    }

    iconv_t descriptor_;
    std::string units_;
};

}  // namespace

namespace {

int Convert(UINT codePage, LPCSTR multiByte, int multiByteCount, LPWSTR wide, int wideCount)
{
    auto& phone = sim::Phone::Get();
    thread_local Cp932Converter converter;
    if (phone.ShouldFail("MultiByteToWideChar") || codePage != kAnsiCodePage || !converter.Ready() ||
        multiByte == nullptr || multiByteCount == 0 || multiByteCount < -1 || wideCount < 0) {
        phone.lastError = kErrorInvalidParameter;
        return 0;
    }
    // -1: the text runs to its terminator, which is converted too.
    const std::size_t length =
        multiByteCount == -1 ? std::strlen(multiByte) + 1 : static_cast<std::size_t>(multiByteCount);
    thread_local WString text;
    converter.Decode(std::string_view(multiByte, length), text);
    if (wideCount == 0) {
        return static_cast<int>(text.size());
    }
    if (wide == nullptr || text.size() > static_cast<std::size_t>(wideCount)) {
        phone.lastError = wide == nullptr ? kErrorInvalidParameter : ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    text.copy(wide, text.size());
    return static_cast<int>(text.size());
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount)
{
    const int made = Convert(codePage, multiByte, multiByteCount, wide, wideCount);
    sim::Phone::Get().Record("program", "MultiByteToWideChar",
                             {{"codePage", sim::Int(codePage)},
                              {"flags", sim::Int(flags)},
                              {"bytes", sim::Int(multiByteCount)},
                              {"room", sim::Int(wideCount)}},
                             {{"result", sim::Int(made)}});
    return made;
}
