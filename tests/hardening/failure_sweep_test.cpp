// Every failure the simulated phone can inject, at every call that reaches it, on the main paths
// of a run. Whatever fails, the program must end (or keep polling a phone that never finishes),
// give back everything it took, answer a documented exit code, never ask for a send/receive
// that the hand-off refused, and leave the user's ProfileFile as it was.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "hardening/hardened_run.h"
#include "sim/phone.h"
#include "sim/runner/scenario.h"

namespace {

using hardening::Front;

struct BaseScenario {
    const char* name;
    const char16_t* commandLine;
    Front front = Front::Compose;
    UINT_PTR menuChoice = 0;
    bool profilePresent = true;
    bool phoneLeavesMail = false;
    bool phoneNeverFinishes = false;
    const char* profile = hardening::kProfile;
};

// The hooks of the usual file after a section named in Shift-JIS ("送受信"), so that the file
// is decoded through the code page.
constexpr const char* kShiftJisProfile =
    "[\x91\x97\x8e\xf3\x90\x4d]\n[exec]\nbefore=before.exe\nsend=send.exe|-q\nafter=after.exe\n";

void PrintTo(const BaseScenario& base, std::ostream* out)
{
    *out << base.name;
}

// The paths the sweep runs; the coverage test below holds this same table.
const std::vector<BaseScenario> kSweep = {
    {"SendPathMailSent", u""},
    {"SendPathMailLeft", u"", Front::Compose, 0, true, true},
    {"ShowMenuSend", u"/showmenu", Front::Compose, IDM_SEND_AT_ONCE},
    {"ShowMenuOutbox", u"/showmenu", Front::Compose, IDM_TO_OUTBOX},
    {"OtherProgramTouchLeft", u"/touchleft", Front::OtherProgram},
    {"MissingProfile", u"", Front::Compose, 0, false},
    {"PhoneNeverFinishes", u"", Front::Compose, 0, true, false, true},
    {"ShiftJisProfile", u"", Front::Compose, 0, true, false, false, kShiftJisProfile},
};

// A failure put at one point: the nth call of its name fails; nth 0 fails every call.
struct Injection {
    std::string call;
    int nth = 0;
};

constexpr sim::Millis kPatience = sim::Millis{60} * 1000;            // far past any run of a finishing phone
constexpr sim::Millis kNeverFinishingWatch = sim::Millis{5} * 1000;  // ten ticks of a poll without end

// The runs of the sweep: a scenario's world, and the failure points a clean run of it reaches.
class SweepRun : public HardenedRun {
protected:
    void Prepare(const BaseScenario& base)
    {
        Restart();
        if (base.profilePresent) {
            WriteIni(base.profile);
        }
        if (base.phoneLeavesMail) {
            PhoneLeavesMail();
        }
        if (base.phoneNeverFinishes) {
            Phone().phoneService.behaviour = sim::PhoneService::Behaviour::NeverFinishes;
        }
        Phone().SetTimeLimit(base.phoneNeverFinishes ? kNeverFinishingWatch : kPatience);
        sim::Menus().choice = base.menuChoice;
        SetFront(base.front);
    }

    // The injection points of the scenario: every call name the clean run asked about, each
    // failing at every one of its calls in turn, and at all of them at once.
    std::vector<Injection> InjectionPoints(const BaseScenario& base)
    {
        Prepare(base);
        GuardedRun(base.commandLine);
        std::vector<Injection> points;
        for (const auto& [call, count] : Phone().CallCounts()) {
            for (int nth = 0; nth <= count; ++nth) {
                points.push_back({call, nth});
            }
        }
        return points;
    }

    // What a run with a missing ProfileFile leaves behind when nothing fails.
    std::string CleanProfileFile(const BaseScenario& base)
    {
        Prepare(base);
        GuardedRun(base.commandLine);
        return ReadIni();
    }
};

class FailureSweep : public SweepRun, public ::testing::WithParamInterface<BaseScenario> {
protected:
    static void ExpectSoundEnd(const BaseScenario& base, int code)
    {
        EXPECT_NE(code, hardening::kEscaped);
        if (code == kStillRunning) {
            EXPECT_TRUE(base.phoneNeverFinishes) << "still polling a phone that finished";
            return;
        }
        EXPECT_TRUE(code == kExitDone || code == kExitRunFailed) << "exit code " << code;
    }

    // Each hook starts at most once a run, and "send" and "after" never both.
    static void ExpectEachHookOnce()
    {
        const std::vector<WString> started = Started();
        const std::set<WString> distinct(started.begin(), started.end());
        EXPECT_EQ(distinct.size(), started.size()) << "a hook was started twice";
        EXPECT_FALSE(distinct.contains(u"send.exe") && distinct.contains(u"after.exe"));
    }

    void ExpectProfileKept(const BaseScenario& base, const std::string& before,
                           const std::string& defaultFile)
    {
        const std::string after = std::filesystem::exists(IniPath()) ? ReadIni() : std::string();
        if (base.profilePresent) {
            EXPECT_EQ(after, before) << "the user's ProfileFile was changed";
        } else {
            // A write that failed part way may leave the start of the template, never more
            // and never anything else.
            EXPECT_EQ(defaultFile.substr(0, after.size()), after);
        }
    }
};

TEST_P(FailureSweep, EveryInjectedFailureEndsSoundly)
{
    const BaseScenario& base = GetParam();
    const std::string defaultFile = base.profilePresent ? std::string() : CleanProfileFile(base);
    const std::vector<Injection> points = InjectionPoints(base);
    ASSERT_FALSE(points.empty());
    for (const Injection& point : points) {
        SCOPED_TRACE(point.call + " failing at call " + std::to_string(point.nth));
        Prepare(base);
        const std::string before = base.profilePresent ? ReadIni() : std::string();
        std::string refusal;
        WatchStatusRequest(refusal);
        Phone().Fail(point.call, point.nth);

        const int code = GuardedRun(base.commandLine);

        ExpectSoundEnd(base, code);
        EXPECT_EQ(refusal, "") << "Status15 written although the hand-off answered 0";
        ExpectAllReleased();
        ExpectProfileKept(base, before, defaultFile);
        EXPECT_EQ(ForeignPresses(), "");
        ExpectEachHookOnce();
        Phone().onRecord = nullptr;
    }
    RecordProperty("runs", static_cast<int>(points.size()));
}

INSTANTIATE_TEST_SUITE_P(Paths, FailureSweep, ::testing::ValuesIn(kSweep),
                         [](const auto& row) { return std::string(row.param.name); });

// The sweep covers a failure only where one of its paths reaches it: every call the phone can
// fail must be reached by a clean run of one of them, except those quillet-sim tells scenarios
// the program never makes (docs/scenarios.md lists them): the property calls that only the
// device's build makes, and the property write.
TEST_F(SweepRun, TheSweepReachesEveryInjectableCall)
{
    const auto& never = runner::CallsNeverMade();
    const std::set<std::string> notMadeHere(never.begin(), never.end());
    std::set<std::string> reached;
    for (const BaseScenario& base : kSweep) {
        for (const Injection& point : InjectionPoints(base)) {
            reached.insert(point.call);
        }
    }
    for (const std::string& call : sim::Phone::InjectableCalls()) {
        EXPECT_NE(reached.contains(call), notMadeHere.contains(call))
            << call << (reached.contains(call) ? " is reached now: sweep it" : " is never reached");
    }
}

}  // namespace
