// The windows the program works on belong to other programs and change under it at any
// moment: the window in front or its soft-key bar destroyed, another program coming in front,
// the bar's owner exiting. Whatever changes between two of its steps, the program must not
// crash, must never press another program's bar, and must end with a documented code.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "hardening/hardened_run.h"

namespace {

using hardening::Front;

enum class Change {
    FrontWindowDestroyed,      // the window in front goes, with every window under it
    BarDestroyed,              // the front program's soft-key bar goes
    ForegroundSwitches,        // another program comes in front, its bar behind the old one
    ForegroundSwitchesAndBar,  // another program comes in front and its bar is the one shown
    BarOwnerExits,             // the front program exits: its process and all its windows go
};

const char* NameOf(Change change)
{
    switch (change) {
        case Change::FrontWindowDestroyed: return "FrontWindowDestroyed";
        case Change::BarDestroyed: return "BarDestroyed";
        case Change::ForegroundSwitches: return "ForegroundSwitches";
        case Change::ForegroundSwitchesAndBar: return "ForegroundSwitchesAndBar";
        case Change::BarOwnerExits: return "BarOwnerExits";
    }
    return "?";
}

constexpr Change kChanges[] = {Change::FrontWindowDestroyed, Change::BarDestroyed, Change::ForegroundSwitches,
                               Change::ForegroundSwitchesAndBar, Change::BarOwnerExits};

struct Mode {
    const char* name;
    const char16_t* commandLine;
    Front front;
    UINT_PTR menuChoice;
};

void PrintTo(const Mode& mode, std::ostream* out)
{
    *out << mode.name;
}

void DestroyTree(HWND handle)
{
    sim::Window* window = sim::Phone::Get().FindWindow(handle);
    if (window == nullptr) {
        return;
    }
    window->destroyed = true;
    for (HWND child : window->children) {
        DestroyTree(child);
    }
}

class VanishingWindows : public HardenedRun {
protected:
    void Prepare(const Mode& mode)
    {
        Restart();
        WriteIni(hardening::kProfile);
        sim::Menus().choice = mode.menuChoice;
        SetFront(mode.front);
    }

    // An intruder that comes in front: a window of its own and, later in the window list than
    // every other bar, a soft-key bar of its own.
    static void StartIntruder()
    {
        const DWORD intruder = sim::StartProcess(WTEXT("intruder.exe"));
        sim::Window& window = Phone().AddWindow(WTEXT("Main"), intruder);
        sim::Window& bar = Phone().AddWindow(sim::kSoftKeyBarClass, intruder);
        bar.rect = RECT{0, 588, 480, 640};
        Phone().foreground = window.handle;
    }

    void Apply(Change change)
    {
        Phone().Record("test", "changes the windows", {{"change", sim::Name{NameOf(change)}}});
        switch (change) {
            case Change::FrontWindowDestroyed: DestroyTree(FrontWindow()); break;
            case Change::BarDestroyed: DestroyTree(FrontBar()); break;
            case Change::ForegroundSwitches: StartIntruder(); break;
            case Change::ForegroundSwitchesAndBar:
                DestroyTree(FrontBar());
                StartIntruder();
                break;
            case Change::BarOwnerExits:
                sim::EndProcess(FrontProcess());
                for (HWND handle : Phone().WindowsInCreationOrder()) {
                    if (Phone().FindWindow(handle)->processId == FrontProcess()) {
                        DestroyTree(handle);
                    }
                }
                break;
        }
    }

    // Makes the change right after the program's platform call number `after` (counting from
    // 1) has answered.
    void ChangeAfter(int after, Change change)
    {
        Phone().onRecord = [this, after, change, seen = 0](const sim::TraceEvent& event) mutable {
            if (event.actor == "program" && ++seen == after) {
                Apply(change);
            }
        };
    }

    // The platform calls of a run in which nothing changes.
    int CleanCalls(const Mode& mode)
    {
        Prepare(mode);
        GuardedRun(mode.commandLine);
        int calls = 0;
        for (const auto& event : Phone().Trace()) {
            calls += event.actor == "program" ? 1 : 0;
        }
        return calls;
    }

    void ExpectSafeEnd(int code)
    {
        EXPECT_TRUE(code == kExitDone || code == kExitRunFailed) << "exit code " << code;
        EXPECT_EQ(ForeignPresses(), "") << TraceText();
        const sim::Window* bar = Phone().FindWindow(FrontBar());
        EXPECT_LE(bar->received.size(), 2U) << "the front program's bar was pressed more than once";
        ExpectAllReleased();
    }
};

class EveryStep : public VanishingWindows, public ::testing::WithParamInterface<Mode> {};

TEST_P(EveryStep, AnyChangeAfterAnyCallEndsWithoutAForeignPress)
{
    const Mode& mode = GetParam();
    const int calls = CleanCalls(mode);
    ASSERT_GT(calls, 10);
    for (const Change change : kChanges) {
        for (int after = 1; after <= calls; ++after) {
            SCOPED_TRACE(std::string(NameOf(change)) + " after call " + std::to_string(after));
            Prepare(mode);
            ChangeAfter(after, change);
            ExpectSafeEnd(GuardedRun(mode.commandLine));
            Phone().onRecord = nullptr;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryStep,
                         ::testing::Values(Mode{"Compose", u"", Front::Compose, 0},
                                           Mode{"ComposeWithMenu", u"/showmenu", Front::Compose,
                                                IDM_SEND_AT_ONCE},
                                           Mode{"OtherProgram", u"/touchleft", Front::OtherProgram, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

// Changes at the moments that matter most, with what each must lead to.
struct Moment {
    const char* name;
    const char* call;  // the change comes right after the nth call of this name
    int nth;
    Change change;
    bool showMenu;
};

void PrintTo(const Moment& moment, std::ostream* out)
{
    *out << moment.name;
}

class AtMoment : public VanishingWindows, public ::testing::WithParamInterface<Moment> {};

TEST_P(AtMoment, NothingIsPressedAndNothingIsAskedOfThePhone)
{
    const Moment& moment = GetParam();
    Prepare({"", u"", Front::Compose, IDM_SEND_AT_ONCE});
    const std::string call = moment.call;
    const int nth = moment.nth;
    const Change change = moment.change;
    Phone().onRecord = [this, call, nth, change, seen = 0](const sim::TraceEvent& event) mutable {
        if (event.actor == "program" && event.what == call && ++seen == nth) {
            Apply(change);
        }
    };
    const int code = GuardedRun(moment.showMenu ? u"/showmenu" : u"");
    Phone().onRecord = nullptr;

    ExpectSafeEnd(code);
    EXPECT_EQ(code, kExitDone);
    EXPECT_EQ(sim::TheMessaging().draftsSent, 0);
    EXPECT_EQ(Count("RegSetValueExW"), 0U) << "send/receive asked for with nothing sent";
    EXPECT_TRUE(Started().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Moments, AtMoment,
    ::testing::Values(
        // Between the class checks of the compose window.
        Moment{"ComposeWindowGoesAfterSecondClassCheck", "GetClassNameW", 2, Change::FrontWindowDestroyed,
               false},
        // The bar was found, then it went: its owner can't be named any more.
        Moment{"BarGoesRightAfterItWasFound", "FindWindowW", 1, Change::BarDestroyed, false},
        // The same, and another program's bar is now the only one.
        Moment{"BarReplacedRightAfterItWasFound", "FindWindowW", 1, Change::ForegroundSwitchesAndBar, false},
        // Messaging exits between the press and the release.
        Moment{"OwnerExitsBetweenPressAndRelease", "PostMessageW", 1, Change::BarOwnerExits, false},
        // Another program comes in front with its bar before the press is made.
        Moment{"ForegroundSwitchesBeforeThePress", "GetForegroundWindow", 1, Change::ForegroundSwitchesAndBar,
               false},
        // The compose window goes while the menu is up.
        Moment{"ComposeWindowGoesWhileTheMenuIsUp", "TrackPopupMenuEx", 1, Change::FrontWindowDestroyed,
               true}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
