// The options as this build's wide text carries them: on Windows WCHAR is wchar_t, not the
// simulated phone's char16_t, and the parser must split and compare the same way.
#include <gtest/gtest.h>

#include <vector>

#include "app/app_state.h"
#include "app/command_line.h"
#include "file_system.h"

namespace {

TEST(CommandLine, SetsExactlyTheOptionsItHolds)
{
    struct Case {
        const WCHAR* line;
        int showMenu;
        int touchLeft;
    };
    const std::vector<Case> cases = {
        {WTEXT(""), 0, 0},
        {WTEXT("   "), 0, 0},
        {WTEXT("/showmenu"), 1, 0},
        {WTEXT("  /touchleft   /showmenu  "), 1, 1},
        {WTEXT("/touchleft /touchleft"), 0, 1},
        {WTEXT("/ShowMenu /TOUCHLEFT"), 0, 0},
        {WTEXT("/showmenu,/touchleft"), 0, 0},
        {WTEXT("/showmenu\t/touchleft"), 0, 0},
        {WTEXT("\"/showmenu\""), 0, 0},
        {WTEXT("/showmenu2 /touchleft"), 0, 1},
        {WTEXT("送信 /showmenu ／touchleft"), 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(wintest::Narrow(c.line));
        AppState::showMenu = 0;
        AppState::touchLeft = 0;
        WString buffer = c.line;
        ParseCommandLine(buffer.data());
        EXPECT_EQ(AppState::showMenu, c.showMenu);
        EXPECT_EQ(AppState::touchLeft, c.touchLeft);
    }
}

// The entry hands over the platform's own buffer, which the split changes in place.
TEST(CommandLine, SplitsTheCallersBufferInPlace)
{
    WString buffer = WTEXT("a /showmenu b");
    ParseCommandLine(buffer.data());
    EXPECT_EQ(buffer[1], WCHAR{0});
    EXPECT_EQ(WString(buffer.c_str() + 2), WTEXT("/showmenu"));
}

}  // namespace
