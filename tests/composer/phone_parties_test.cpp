// The simulated phone's side of the hand-off: the Messaging program's soft-key bar, popup menus
// and the process snapshot, as the composer's tests rely on them.
#include <string>

#include "composer_test.h"
#include "platform/menu.h"
#include "platform/toolhelp.h"
#include "sim/menu.h"

namespace {

constexpr LPARAM kRightKey = 300;  // x = 300: the right half of the 480-wide bar

struct Click {
    UINT message;
    LPARAM point;
};

struct BarCase {
    const char* name;
    sim::MessagingSetup::Front front;
    bool inFront;
    std::vector<Click> clicks;
    int drafts;
};

void PrintTo(const BarCase& c, std::ostream* os)
{
    *os << c.name;
}

using Front = sim::MessagingSetup::Front;
const Click kDown{WM_LBUTTONDOWN, 0};
const Click kUp{WM_LBUTTONUP, 0};

const BarCase kBars[] = {
    {"click sends the draft", Front::ComposeWindow, true, {kDown, kUp}, 1},
    {"release alone", Front::ComposeWindow, true, {kUp}, 0},
    {"release before press", Front::ComposeWindow, true, {kUp, kDown}, 0},
    {"released on the right key", Front::ComposeWindow, true, {kDown, {WM_LBUTTONUP, kRightKey}}, 0},
    {"right key", Front::ComposeWindow, true, {{WM_LBUTTONDOWN, kRightKey}, {WM_LBUTTONUP, kRightKey}}, 0},
    {"two clicks one draft", Front::ComposeWindow, true, {kDown, kUp, kDown, kUp}, 1},
    {"message list in front", Front::OtherWindow, true, {kDown, kUp}, 0},
    {"compose window behind", Front::ComposeWindow, false, {kDown, kUp}, 0},
};

class MessagingBar : public ComposerTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(MessagingBar, OnlyALeftKeyClickOnTheComposeWindowInFrontSends)
{
    const BarCase& c = GetParam();
    int hooked = 0;
    sim::Messaging& messaging = sim::StartMessaging({.front = c.front, .inFront = c.inFront});
    messaging.onDraftSent = [&hooked] { ++hooked; };
    for (const Click& click : c.clicks) {
        PostMessageW(messaging.softKeyBar, click.message, 0, click.point);
    }
    EXPECT_EQ(messaging.draftsSent, c.drafts);
    EXPECT_EQ(hooked, c.drafts);
    EXPECT_EQ(Phone().TraceOf("draft moved to Outbox").size(), static_cast<std::size_t>(c.drafts));
}

INSTANTIATE_TEST_SUITE_P(Clicks, MessagingBar, ::testing::ValuesIn(kBars), CaseName());

TEST_F(ComposerTest, DelayedDraftReachesTheOutboxOnlyWhenItsTimeComes)
{
    sim::Messaging& messaging = sim::StartMessaging({.draftDelay = 1500});
    PostMessageW(messaging.softKeyBar, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(messaging.softKeyBar, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(messaging.draftsSent, 0);

    MSG msg{};
    EXPECT_THROW(Phone().NextMessage(msg), sim::RunStopped);  // idle until the move, then nothing left
    EXPECT_EQ(messaging.draftsSent, 1);
}

TEST_F(ComposerTest, MenusAreAccountedAndPickOnlyWhatTheyHold)
{
    HWND owner = sim::StartMessaging().window;
    sim::Menus().choice = 40009;
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(AppendMenuW(menu, MF_STRING, 40001, WTEXT("one")), FALSE);
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, owner, nullptr), 0);
    sim::Menus().choice = 40001;
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, owner, nullptr), 40001);
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, nullptr, nullptr), 0);  // no owner, no menu

    EXPECT_EQ(sim::Menus().shown.size(), 2U);
    EXPECT_EQ(sim::Menus().destroyed, 0U);
    EXPECT_NE(DestroyMenu(menu), FALSE);
    EXPECT_EQ(DestroyMenu(menu), FALSE);
    EXPECT_EQ(AppendMenuW(menu, MF_STRING, 40002, WTEXT("two")), FALSE);
    EXPECT_EQ(sim::Menus().created, 1U);
    EXPECT_EQ(sim::Menus().destroyed, 1U);
}

TEST_F(ComposerTest, SnapshotListsTheProcessesOfItsMomentAndWantsTheRightEntrySize)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    sim::StartProcess(WTEXT("late.exe"));
    PROCESSENTRY32W entry{};
    EXPECT_EQ(Process32FirstW(snapshot, &entry), FALSE);  // dwSize not set
    entry.dwSize = sizeof(entry);
    ASSERT_NE(Process32FirstW(snapshot, &entry), FALSE);
    EXPECT_EQ(entry.th32ProcessID, sim::kProgramProcessId);
    EXPECT_EQ(WString(entry.szExeFile), WTEXT("quillet.exe"));
    EXPECT_EQ(Process32NextW(snapshot, &entry), FALSE);
    EXPECT_EQ(Phone().OpenHandles("snapshot"), 1U);
    EXPECT_NE(CloseHandle(snapshot), FALSE);
    EXPECT_EQ(Phone().OpenHandles("snapshot"), 0U);
}

}  // namespace
