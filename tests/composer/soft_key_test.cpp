// Pressing the left soft key of the program that owns a window.
#include "composer/compose_window.h"
#include "composer_test.h"

namespace {

using Bar = sim::MessagingSetup::Bar;

struct PressCase {
    const char* name;
    Bar bar;
    bool windowGone;  // the window was destroyed before the press
    int expected;
};

void PrintTo(const PressCase& c, std::ostream* os)
{
    *os << c.name;
}

const PressCase kPresses[] = {
    {"own bar", Bar::Own, false, 1},
    {"foreign bar", Bar::Foreign, false, 0},
    {"no bar", Bar::None, false, 0},
    {"window just destroyed", Bar::Own, true, 0},
};

class LeftSoftKeyPress : public ComposerTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(LeftSoftKeyPress, PostsPressThenReleaseAtTheBarsCornerOnlyOnTheWindowsOwnBar)
{
    const PressCase& c = GetParam();
    const sim::Messaging& messaging = sim::StartMessaging({.bar = c.bar});
    if (c.windowGone) {
        Phone().FindWindow(messaging.window)->destroyed = true;
    }

    EXPECT_EQ(PressLeftSoftKey(messaging.window), c.expected);

    if (c.expected == 0) {
        EXPECT_TRUE(Posts().empty());
        return;
    }
    const auto& received = Phone().FindWindow(messaging.softKeyBar)->received;
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(received[1].message, WM_LBUTTONUP);
    for (const MSG& msg : received) {
        EXPECT_EQ(msg.wParam, 0U);
        EXPECT_EQ(msg.lParam, 0);
    }
    EXPECT_EQ(messaging.draftsSent, 1);
}

INSTANTIATE_TEST_SUITE_P(Bars, LeftSoftKeyPress, ::testing::ValuesIn(kPresses), CaseName());

// An owner the platform can't name must not count as process 0, nor as any other.
TEST_F(ComposerTest, UnnamedOwnerNeverMatchesABarOfProcessZero)
{
    HWND window = Phone().AddWindow(WTEXT("Dialog"), 0).handle;
    Phone().AddWindow(sim::kSoftKeyBarClass, 0);
    Phone().FindWindow(window)->destroyed = true;

    EXPECT_EQ(PressLeftSoftKey(window), 0);
    EXPECT_EQ(PressLeftSoftKey(nullptr), 0);
    EXPECT_TRUE(Posts().empty());
}

}  // namespace
