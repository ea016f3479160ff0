// The send/receive sequence end to end: which hooks run after the exchange, how the poll
// waits, and how a run ends whatever fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/send_sequence.h"
#include "whole_run.h"

namespace {

constexpr const char* kFullProfile = "[exec]\nbefore=before.exe\nsend=send.exe|-q\nafter=after.exe\n";

struct HookCase {
    const char* name;
    const char* profile;  // nullptr: no ProfileFile at all
    bool mailLeft;        // the phone could not send everything
    std::vector<WString> started;
    const char* failCall = nullptr;  // fails at its nth call
    int nth = 0;
    bool tickInsideStarts = false;  // the shell dispatches the next tick inside each start
};

class HookTable : public WholeRun, public ::testing::WithParamInterface<HookCase> {};

TEST_P(HookTable, StartsTheHooksThatTheOutboxAndProfileCallFor)
{
    const HookCase& row = GetParam();
    if (row.profile != nullptr) {
        WriteIni(row.profile);
    }
    if (row.mailLeft) {
        PhoneLeavesMail();
    }
    if (row.failCall != nullptr) {
        Phone().Fail(row.failCall, row.nth);
    }
    sim::Shell().dispatchesTimers = row.tickInsideStarts;
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_EQ(Started(), row.started);
    EXPECT_TRUE(StatusWritten());
    EXPECT_EQ(Count("RegQueryValueExW"), 4U);  // 2 s of exchange, polled every 500 ms
    // The timer is set after the "before" start: only the start after the exchange has a tick.
    EXPECT_EQ(Count("dispatches"), row.tickInsideStarts ? 1U : 0U);
    ExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HookTable,
    ::testing::Values(HookCase{"MailLeftRunsAfter", kFullProfile, true, {u"before.exe", u"after.exe"}},
                      HookCase{"EmptyRunsSendOnly", kFullProfile, false, {u"before.exe", u"send.exe"}},
                      HookCase{"EmptySendValueStartsNothingAndSkipsAfter",
                               "[exec]\nbefore=before.exe\nsend=\nafter=after.exe\n",
                               false,
                               {u"before.exe"}},
                      HookCase{"EmptyWithoutSendRunsAfter",
                               "[exec]\nbefore=before.exe\nafter=after.exe\n",
                               false,
                               {u"before.exe", u"after.exe"}},
                      HookCase{"MailLeftIgnoresSend", "[exec]\nsend=send.exe\n", true, {}},
                      HookCase{"NoHooksAtAll", "[exec]\nbefore=\n", false, {}},
                      HookCase{"EmptyFile", "", false, {}}, HookCase{"MissingFile", nullptr, false, {}},
                      HookCase{"OtherSectionOnly", "[Exec]\nbefore=before.exe\nafter=after.exe\n", true, {}},
                      // The stores table is read twice in each inspection; the Outbox's first
                      // row is read after the exchange, and the read after it fails.
                      HookCase{"OutboxReadFailingAfterItsFirstRowRunsAfter",
                               kFullProfile,
                               true,
                               {u"before.exe", u"after.exe"},
                               "IMAPITable::QueryRows",
                               6},
                      HookCase{"TickInsideTheAfterStartStartsNothingMore",
                               kFullProfile,
                               true,
                               {u"before.exe", u"after.exe"},
                               nullptr,
                               0,
                               true},
                      HookCase{"TickInsideTheSendStartStartsNothingMore",
                               kFullProfile,
                               false,
                               {u"before.exe", u"send.exe"},
                               nullptr,
                               0,
                               true}),
    [](const auto& row) { return row.param.name; });

TEST_F(WholeRun, MissingProfileIsWrittenEvenWhenThereIsNothingToSendAndReadAtTheNextStart)
{
    sim::TheMessaging().draftPending = false;
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_EQ(ReadIni().substr(0, 7), "[exec]\n");

    // The next start reads the template: every hook is there and empty, so nothing starts.
    Phone().EndProgram();
    AppState::profile.reset();
    sim::TheMessaging().draftPending = true;
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_TRUE(AppState::profile && !AppState::profile->FileMissing());
    EXPECT_EQ(AppState::profile->GetValue(u"exec", u"send"), u"");
    EXPECT_TRUE(StatusWritten());
    EXPECT_TRUE(Started().empty());
}

TEST_F(WholeRun, NothingToSendEndsWithoutTouchingTheStatusOrStartingHooks)
{
    WriteIni(kFullProfile);
    sim::TheMessaging().draftPending = false;  // the press sends nothing, the Outbox stays empty
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_FALSE(StatusWritten());
    EXPECT_EQ(Count("SetTimer"), 0U);
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(Count("PostMessageW"), 3U);  // the press, the release, the close
    ExpectNothingHeld();
}

TEST_F(WholeRun, StatusNeverClearedKeepsPollingAndASecondCopyEndsAtOnce)
{
    WriteIni(kFullProfile);
    Phone().phoneService.behaviour = sim::PhoneService::Behaviour::NeverFinishes;
    Phone().SetTimeLimit(500 * 1000);
    EXPECT_EQ(Run(), kStillRunning);
    EXPECT_EQ(Count("RegQueryValueExW"), 1000U);
    EXPECT_EQ(Started(), std::vector<WString>{u"before.exe"});

    // The first copy is still waiting, so its mutex and window class are still there.
    const auto callsBefore = Phone().Trace().size();
    AppState::profile.reset();
    EXPECT_EQ(Run(u"/showmenu"), kExitAlreadyRunning);
    std::vector<std::string> calls;
    for (auto at = Phone().Trace().begin() + static_cast<std::ptrdiff_t>(callsBefore);
         at != Phone().Trace().end(); ++at) {
        calls.push_back(at->what);
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"CreateMutexW", "GetLastError"}));
}

void SetStatus(std::int32_t value)
{
    auto& stored = sim::Phone::Get().registry[sim::kPhoneStatusKey][sim::kStatusValue];
    stored.data.resize(4);
    std::memcpy(stored.data.data(), &value, 4);
}

TEST_F(WholeRun, OnlyAnUnreadableStatusEndsTheExchange)
{
    WriteIni(kFullProfile);
    Phone().phoneService.behaviour = sim::PhoneService::Behaviour::NeverFinishes;
    Phone().Schedule(1000, [] { SetStatus(0); });  // still running
    Phone().Schedule(2200, [this] {
        sim::mapi::SendOutbox(Account());
        SetStatus(-1);  // reads as gone
    });
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_EQ(Count("RegQueryValueExW"), 5U);
    EXPECT_EQ(Phone().Now(), 2500);
    EXPECT_EQ(Started(), (std::vector<WString>{u"before.exe", u"send.exe"}));
}

TEST_F(WholeRun, AbsentStatusKeyWritesNothingAndTheFirstTickGoesOn)
{
    WriteIni(kFullProfile);
    Phone().phoneService.behaviour = sim::PhoneService::Behaviour::KeyAbsent;
    PhoneLeavesMail();
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_FALSE(StatusWritten());
    EXPECT_EQ(Count("RegQueryValueExW"), 0U);
    EXPECT_EQ(Count("RegOpenKeyExW"), 2U);
    EXPECT_EQ(Phone().Now(), 500);
    EXPECT_EQ(Started(), (std::vector<WString>{u"before.exe", u"after.exe"}));
    ExpectNothingHeld();
}

TEST_F(WholeRun, TimerThatCannotStartClosesAfterTheBeforeHookAndTheRequest)
{
    WriteIni(kFullProfile);
    Phone().Fail("SetTimer");
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_TRUE(StatusWritten());
    EXPECT_EQ(Started(), std::vector<WString>{u"before.exe"});
    EXPECT_EQ(Count("RegQueryValueExW"), 0U);
}

TEST_F(WholeRun, CloseGoesToTheDefaultHandlingWhichDestroysAndQuits)
{
    WriteIni(kFullProfile);
    EXPECT_EQ(Run(), kExitDone);
    const auto defaults = Phone().TraceOf("DefWindowProcW");
    EXPECT_TRUE(std::any_of(defaults.begin(), defaults.end(), [](const auto& e) {
        return e.template Get<sim::Name>("message")->text == "WM_CLOSE";
    }));
    EXPECT_EQ(Phone().TraceOf("PostQuitMessage").at(0).Number("code", -1), 0);
}

TEST_F(WholeRun, CreationFailuresEndWithZeroAndDoNothing)
{
    for (const char* call : {"RegisterClassW", "CreateWindowExW"}) {
        SCOPED_TRACE(call);
        Phone().Reset();
        SetUp();
        WriteIni(kFullProfile);
        Phone().Fail(call);
        EXPECT_EQ(Run(), kExitDone);
        EXPECT_EQ(sim::TheMessaging().leftKeyClicks, 0);
        EXPECT_FALSE(StatusWritten());
        EXPECT_TRUE(Started().empty());
    }
}

// The class and the window as the platform got them. The window stays hidden and empty, so the
// window in front when the program started stays in front while it works.
TEST_F(WholeRun, ControlWindowIsAHiddenEmptyTopLevelWindowOfItsOwnClass)
{
    WriteIni(kFullProfile);
    const auto instance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x10000});  // NOLINT
    WString commandLine;
    ASSERT_EQ(WinMain(instance, nullptr, commandLine.data(), 0), kExitDone);
    const WNDCLASSW& windowClass = Phone().classes.at(u"HIDE_WINDOW");
    const auto made = Phone().WindowsInCreationOrder();
    const auto own = std::find_if(made.begin(), made.end(), [](HWND handle) {
        return Phone().FindWindow(handle)->processId == sim::kProgramProcessId;
    });
    ASSERT_NE(own, made.end());
    const sim::Window& window = *Phone().FindWindow(*own);
    struct Field {
        const char* name;
        std::uintptr_t got;
        std::uintptr_t expected;
    };
    const auto value = [](auto pointer) { return reinterpret_cast<std::uintptr_t>(pointer); };  // NOLINT
    for (const Field& field : {
             Field{"class style", windowClass.style, CS_HREDRAW | CS_VREDRAW},
             Field{"class procedure", value(windowClass.lpfnWndProc), value(&ControlWindowProc)},
             Field{"class extra bytes", static_cast<std::uintptr_t>(windowClass.cbClsExtra), 0},
             Field{"window extra bytes", static_cast<std::uintptr_t>(windowClass.cbWndExtra), 0},
             Field{"class instance", value(windowClass.hInstance), value(instance)},
             Field{"icon", value(windowClass.hIcon), 0},
             Field{"cursor", value(windowClass.hCursor), 0},
             Field{"background", value(windowClass.hbrBackground), value(GetStockObject(WHITE_BRUSH))},
             Field{"menu name", value(windowClass.lpszMenuName), 0},
             Field{"window class", window.className == u"HIDE_WINDOW", 1},
             Field{"extended style", window.exStyle, 0},
             Field{"style", window.style, 0},
             Field{"left", static_cast<std::uintptr_t>(window.rect.left), 0},
             Field{"top", static_cast<std::uintptr_t>(window.rect.top), 0},
             Field{"width", static_cast<std::uintptr_t>(window.rect.right - window.rect.left), 0},
             Field{"height", static_cast<std::uintptr_t>(window.rect.bottom - window.rect.top), 0},
             Field{"parent", value(window.parent), 0},
             Field{"menu", value(window.menu), 0},
             Field{"window instance", value(window.instance), value(instance)},
             Field{"creation parameter", value(window.createParam), 0},
             Field{"title is the module's path", window.title == Phone().moduleFileName, 1},
         }) {
        EXPECT_EQ(field.got, field.expected) << field.name;
    }
}

// A failure that the sequence can't handle ends the run with the failure code: nothing after
// it happens, the window closes, the loop ends, and nothing is left held.
struct FailureCase {
    const char* name;
    const char* call;
    int nth;
    bool statusWritten;
    std::vector<WString> started;
    int postFails = 0;  // and this PostMessageW fails too (the press makes the first two)
};

class UncaughtFailure : public WholeRun, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UncaughtFailure, EndsTheRunWithTheFailureCode)
{
    const FailureCase& row = GetParam();
    WriteIni(kFullProfile);
    Phone().Fail(row.call, row.nth);
    if (row.postFails != 0) {
        Phone().Fail("PostMessageW", row.postFails);
    }
    EXPECT_EQ(Run(), kExitRunFailed);
    EXPECT_EQ(StatusWritten(), row.statusWritten);
    EXPECT_EQ(Started(), row.started);
    EXPECT_EQ(Count("SetTimer"), row.statusWritten ? 1U : 0U);
    ExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(Steps, UncaughtFailure,
                         ::testing::Values(
                             // The first inspection, right after the press, in the creation step.
                             FailureCase{"CountInCreation", "IMAPITable::GetRowCount", 0, false, {}},
                             FailureCase{"ComInCreation", "CoInitializeEx", 1, false, {}},
                             // The close can't be queued: the window is destroyed inside its
                             // creation, which then fails.
                             FailureCase{
                                 "CountInCreationCloseNotQueued", "IMAPITable::GetRowCount", 0, false, {}, 3},
                             // The second inspection, once the exchange is over, in the timer step.
                             FailureCase{"ReadInTimer", "IMAPITable::SeekRow", 0, true, {u"before.exe"}},
                             FailureCase{"ComInTimer", "CoInitializeEx", 2, true, {u"before.exe"}},
                             // The message loop itself breaks.
                             FailureCase{"MessageLoop", "GetMessageW", 1, true, {u"before.exe"}}),
                         [](const auto& row) { return row.param.name; });

TEST_F(WholeRun, NoAccountStoreEndsTheRunAfterThePress)
{
    WriteIni(kFullProfile);
    sim::mapi::Stores().front().SetText(PR_DISPLAY_NAME_W, u"O70 not the account");
    EXPECT_EQ(Run(), kExitRunFailed);
    EXPECT_EQ(sim::TheMessaging().leftKeyClicks, 1);
    EXPECT_FALSE(StatusWritten());
    ExpectNothingHeld();
}

// What the window procedure does with each message, outside a run: only creation, the timer
// and destruction are its own; everything else reaches the default handling with the
// parameters Windows gave, also after a failure.
struct RouteCase {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    bool toDefault;
};

TEST_F(WholeRun, MessagesOtherThanItsOwnGoToTheDefaultHandling)
{
    WriteIni(kFullProfile);
    CREATESTRUCTW record{};
    record.lpszName = u"quillet";
    const auto recordParam = reinterpret_cast<LPARAM>(&record);  // NOLINT
    for (const bool failed : {false, true}) {
        AppState::runFailed = failed;
        for (const RouteCase& row :
             {RouteCase{WM_NCCREATE, 0, recordParam, TRUE, true}, RouteCase{WM_CLOSE, 0, 0, 0, true},
              RouteCase{WM_NULL, 0, 0, 0, true}, RouteCase{0x8001, 0x1234, 0x5678, 0, true},
              RouteCase{WM_DESTROY, 0, 0, 0, false}}) {
            SCOPED_TRACE((failed ? "after a failure, message " : "message ") + std::to_string(row.message));
            const auto defaults = Count("DefWindowProcW");
            // The default handling of WM_NCCREATE fails the creation without its record.
            EXPECT_EQ(ControlWindowProc(nullptr, row.message, row.wParam, row.lParam), row.result);
            ASSERT_EQ(Count("DefWindowProcW") - defaults, row.toDefault ? 1U : 0U);
            if (row.toDefault && row.message != WM_NCCREATE) {
                const sim::TraceEvent handed = Phone().TraceOf("DefWindowProcW").back();
                EXPECT_EQ(handed.Number("wparam"), static_cast<std::int64_t>(row.wParam));
                EXPECT_EQ(handed.Number("lparam"), row.lParam);
            }
        }
    }
    EXPECT_EQ(Phone().quitCode, std::optional<int>(0));
    EXPECT_TRUE(AppState::profile.has_value());  // built on the first call, whatever it was
    EXPECT_EQ(sim::TheMessaging().leftKeyClicks, 0);
}

}  // namespace
