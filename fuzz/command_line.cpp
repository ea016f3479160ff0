// Arbitrary UTF-16 text as the command line, terminated as the platform hands it over. The
// options found must be exactly the tokens "/showmenu" and "/touchleft" between spaces, and the
// only change to the buffer is a terminator in place of a space before the first terminator.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/command_line.h"

namespace {

void Check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

struct Options {
    bool showMenu = false;
    bool touchLeft = false;
};

// The text split at U+0020 alone, by hand, as the reference.
Options Expected(const WString& text)
{
    Options options;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(u' ', at), text.size());
        const WString token = text.substr(at, end - at);
        options.showMenu = options.showMenu || token == u"/showmenu";
        options.touchLeft = options.touchLeft || token == u"/touchleft";
        at = end + 1;
    }
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t units = size / sizeof(WCHAR);
    std::vector<WCHAR> line(units + 1, 0);
    std::memcpy(line.data(), data, units * sizeof(WCHAR));
    const std::vector<WCHAR> original = line;
    const WString text(original.data());

    AppState::showMenu = 0;
    AppState::touchLeft = 0;
    ParseCommandLine(line.data());

    const Options expected = Expected(text);
    Check(AppState::showMenu == (expected.showMenu ? 1 : 0));
    Check(AppState::touchLeft == (expected.touchLeft ? 1 : 0));
    for (std::size_t i = 0; i < line.size(); ++i) {
        Check(line[i] == original[i] || (i < text.size() && original[i] == u' ' && line[i] == 0));
    }
    return 0;
}
