// The Messaging program's window handed over: the menu, the press and the Outbox's answer.
#include <string>

#include "composer/hand_off.h"
#include "composer_test.h"
#include "shared/thrown_message.h"
#include "sim/menu.h"

namespace {

using Answer = FakeOutbox::Answer;
using Bar = sim::MessagingSetup::Bar;
using Front = sim::MessagingSetup::Front;

struct MenuFailure {
    const char* call;  // the menu call that fails, or ""
    int nth;           // which of its calls; 0 for all
};
constexpr MenuFailure kNone{"", 0};

struct HandOffCase {
    const char* name;
    Front front;
    bool showMenu;
    UINT choice;  // the user's pick in the menu; 0 dismisses it
    MenuFailure menuFails;
    Bar bar;
    Answer outbox;
    bool menuShown;
    bool pressed;
    bool outboxAsked;
    int expected;
};

void PrintTo(const HandOffCase& c, std::ostream* os)
{
    *os << c.name;
}

const HandOffCase kHandOffs[] = {
    // name, front window, /showmenu, choice, failing menu call, bar, Outbox; menu shown, pressed,
    // Outbox asked, result
    {"no menu mail waits", Front::ComposeWindow, false, 0, kNone, Bar::Own, Answer::Mail, false, true, true,
     1},
    {"no menu outbox empty", Front::ComposeWindow, false, 0, kNone, Bar::Own, Answer::Empty, false, true,
     true, 0},
    {"no menu foreign bar", Front::ComposeWindow, false, 0, kNone, Bar::Foreign, Answer::Mail, false, false,
     false, 0},
    {"no menu no bar", Front::ComposeWindow, false, 0, kNone, Bar::None, Answer::Mail, false, false, false,
     0},
    {"send at once mail waits", Front::ComposeWindow, true, IDM_SEND_AT_ONCE, kNone, Bar::Own, Answer::Mail,
     true, true, true, 1},
    {"send at once outbox empty", Front::ComposeWindow, true, IDM_SEND_AT_ONCE, kNone, Bar::Own,
     Answer::Empty, true, true, true, 0},
    {"send at once foreign bar", Front::ComposeWindow, true, IDM_SEND_AT_ONCE, kNone, Bar::Foreign,
     Answer::Mail, true, false, false, 0},
    {"to outbox with mail waiting", Front::ComposeWindow, true, IDM_TO_OUTBOX, kNone, Bar::Own, Answer::Mail,
     true, true, false, 0},
    {"menu dismissed", Front::ComposeWindow, true, 0, kNone, Bar::Own, Answer::Mail, true, false, false, 0},
    {"menu not created",
     Front::ComposeWindow,
     true,
     IDM_SEND_AT_ONCE,
     {"CreatePopupMenu", 0},
     Bar::Own,
     Answer::Mail,
     false,
     false,
     false,
     0},
    {"first entry not appended",
     Front::ComposeWindow,
     true,
     IDM_SEND_AT_ONCE,
     {"AppendMenuW", 1},
     Bar::Own,
     Answer::Mail,
     false,
     false,
     false,
     0},
    {"second entry not appended",
     Front::ComposeWindow,
     true,
     IDM_SEND_AT_ONCE,
     {"AppendMenuW", 2},
     Bar::Own,
     Answer::Mail,
     false,
     false,
     false,
     0},
    {"menu not shown",
     Front::ComposeWindow,
     true,
     IDM_SEND_AT_ONCE,
     {"TrackPopupMenuEx", 0},
     Bar::Own,
     Answer::Mail,
     false,
     false,
     false,
     0},
    {"other window no menu", Front::OtherWindow, false, 0, kNone, Bar::Own, Answer::Mail, false, true, false,
     0},
    {"other window with menu", Front::OtherWindow, true, IDM_SEND_AT_ONCE, kNone, Bar::Own, Answer::Mail,
     false, true, false, 0},
    {"other window foreign bar", Front::OtherWindow, false, 0, kNone, Bar::Foreign, Answer::Mail, false,
     false, false, 0},
};

class HandOff : public ComposerTest, public ::testing::WithParamInterface<HandOffCase> {};

TEST_P(HandOff, OutcomeFollowsWindowMenuAndOutbox)
{
    const HandOffCase& c = GetParam();
    AppState::showMenu = c.showMenu ? 1 : 0;
    sim::Menus().choice = c.choice;
    Outbox().answer = c.outbox;
    if (*c.menuFails.call != 0) {
        Phone().Fail(c.menuFails.call, c.menuFails.nth);
    }
    const sim::Messaging& messaging = sim::StartMessaging({.front = c.front, .bar = c.bar});

    EXPECT_EQ(HandOffToComposer(messaging.window), c.expected);

    EXPECT_EQ(sim::Menus().shown.size(), c.menuShown ? 1U : 0U);
    EXPECT_EQ(sim::Menus().created, sim::Menus().destroyed);
    EXPECT_EQ(Posts().size(), c.pressed ? 2U : 0U);
    EXPECT_EQ(Outbox().asked, c.outboxAsked ? 1 : 0);
    if (c.outboxAsked) {
        EXPECT_LT(FirstIndexOf("PostMessageW"), FirstIndexOf("OutboxHasMail"));
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, HandOff, ::testing::ValuesIn(kHandOffs), CaseName());

TEST_F(ComposerTest, MenuOpensUpwardsFromTheComposeWindowsBottomLeftCorner)
{
    AppState::showMenu = 1;
    const sim::Messaging& messaging = sim::StartMessaging({.windowRect = RECT{10, 52, 470, 500}});

    HandOffToComposer(messaging.window);

    ASSERT_EQ(sim::Menus().shown.size(), 1U);
    const sim::ShownMenu& menu = sim::Menus().shown.front();
    ASSERT_EQ(menu.items.size(), 2U);
    EXPECT_EQ(menu.items[0].id, 40001U);
    EXPECT_EQ(menu.items[0].text, WTEXT("すぐに送信"));
    EXPECT_EQ(menu.items[1].id, 40002U);
    EXPECT_EQ(menu.items[1].text, WTEXT("「送信トレイ」へ"));
    EXPECT_EQ(menu.items[0].flags | menu.items[1].flags, MF_STRING);
    EXPECT_EQ(menu.flags, 0x0120U);
    EXPECT_EQ(menu.x, 10);
    EXPECT_EQ(menu.y, 500);
    EXPECT_EQ(menu.owner, messaging.window);
    EXPECT_FALSE(menu.withParams);
}

// The menu is gone before the press, and the Outbox's failure leaves the press made.
TEST_F(ComposerTest, OutboxFailurePassesThroughAfterThePressWithTheMenuGone)
{
    AppState::showMenu = 1;
    sim::Menus().choice = IDM_SEND_AT_ONCE;
    Outbox().answer = Answer::Fails;
    const sim::Messaging& messaging = sim::StartMessaging();

    EXPECT_THROW(HandOffToComposer(messaging.window), ThrownMessage);

    EXPECT_EQ(sim::Menus().destroyed, 1U);
    EXPECT_LT(FirstIndexOf("DestroyMenu"), FirstIndexOf("PostMessageW"));
    EXPECT_EQ(Posts().size(), 2U);
    EXPECT_EQ(messaging.draftsSent, 1);
}

}  // namespace
