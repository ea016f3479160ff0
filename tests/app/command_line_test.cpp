#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/command_line.h"

namespace {

struct CommandLineCase {
    const char16_t* line;
    int showMenu;
    int touchLeft;
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, SetsExactlyTheOptionsItHolds)
{
    AppState::showMenu = 0;
    AppState::touchLeft = 0;
    WString buffer = GetParam().line;
    ParseCommandLine(buffer.data());
    EXPECT_EQ(AppState::showMenu, GetParam().showMenu);
    EXPECT_EQ(AppState::touchLeft, GetParam().touchLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(CommandLineCase{u"", 0, 0}, CommandLineCase{u"    ", 0, 0},
                      CommandLineCase{u"/showmenu", 1, 0}, CommandLineCase{u"/touchleft", 0, 1},
                      CommandLineCase{u"/showmenu /touchleft", 1, 1},
                      CommandLineCase{u"   /touchleft    /showmenu   ", 1, 1},
                      CommandLineCase{u"/touchleft /touchleft /showmenu /showmenu", 1, 1},
                      CommandLineCase{u"/ShowMenu", 0, 0}, CommandLineCase{u"/showmenU /TOUCHLEFT", 0, 0},
                      CommandLineCase{u"/showmenu,/touchleft", 0, 0},
                      CommandLineCase{u"/showmenu\t/touchleft", 0, 0}, CommandLineCase{u"\t/showmenu", 0, 0},
                      CommandLineCase{u"/showmenu2", 0, 0}, CommandLineCase{u"showmenu", 0, 0},
                      CommandLineCase{u"\"/showmenu\"", 0, 0}, CommandLineCase{u"foo /touchleft bar", 0, 1},
                      CommandLineCase{u"-showmenu /showmenu", 1, 0}));

TEST(CommandLineBuffer, IsSplitInPlaceAndNullIsNoOptions)
{
    WString buffer = u"a /showmenu b";
    ParseCommandLine(buffer.data());
    EXPECT_EQ(buffer[1], u'\0');
    ParseCommandLine(nullptr);
}

}  // namespace
