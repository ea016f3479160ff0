// Telling a trace as steps, for traces the scenarios don't produce.
#include <gtest/gtest.h>

#include "sim/runner/timeline.h"

namespace {

using runner::Line;
using runner::Timeline;

struct Case {
    const char* name;
    std::vector<sim::TraceEvent> trace;
    std::vector<std::string> expected;
};

std::vector<std::string> Tell(const std::vector<sim::TraceEvent>& trace)
{
    std::vector<std::string> texts;
    const runner::HookValues hooks = {{"before", "/bin/b|x"}, {"send", "/bin/same"}, {"after", "/bin/same"}};
    Timeline timeline(hooks, "/tmp/run", [&](const Line& line) { texts.push_back(line.text); });
    for (const auto& event : trace) {
        timeline.Feed(event);
    }
    timeline.Exited(0, 0);
    texts.pop_back();  // the exit line
    return texts;
}

sim::TraceEvent Call(const char* what, const char* detail)
{
    return {0, "program", what, detail};
}

sim::TraceEvent Tick()
{
    return Call("GetMessageW", "WM_TIMER");
}

sim::TraceEvent Close()
{
    return Call("PostMessageW", "0x1000a WM_CLOSE 0 0");
}

class Traces : public testing::TestWithParam<Case> {};

TEST_P(Traces, AreToldAsSteps)
{
    EXPECT_EQ(Tell(GetParam().trace), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Timeline, Traces,
    testing::Values(
        Case{"LaunchOfNoEntry",
             {Call("ShellExecuteExW", R"(verb "Open" file "/bin/x" parameters "" show 0 -> started)")},
             {"starts a program: /bin/x"}},
        Case{"OneProgramForTwoEntries",
             {Call("ShellExecuteExW",
                   R"(verb "Open" file "/bin/same" parameters "" show 0 -> failed, error 2)")},
             {"starts the \"send\"/\"after\" hook: /bin/same -> can't be started (there is no such file)"}},
        // A hook that the ProfileFile names but the program didn't start is shown as such.
        Case{"NamedHookNotStarted",
             {Call("CreateWindowExW", "\"HIDE_WINDOW\" -> 0x1000a (sends WM_CREATE)"),
              Call("CreateFileW", "\"/tmp/run/quillet.ini\" read existing -> opened"),
              Call("ReadFile", "40 bytes"), Call("CloseHandle", ""), Tick(),
              Call("CoInitializeEx", "model 0 -> 0x0"), Call("HrGetOneProp", "store 070 0x3001001F -> 0x0"),
              Call("IMAPITable::QueryRows", "contents table of Outbox: 1 flags 0 -> 0x0 rows 0"),
              Call("CoUninitialize", ""), Close()},
             {"reads the ProfileFile <folder>/quillet.ini: 40 bytes",
              "reads the Outbox of \"070\": 0 messages, empty",
              "starts no hook: though the \"send\" entry names \"/bin/same\"", "closes its window"}},
        Case{"OwnerNotListed",
             {Call("GetForegroundWindow", "-> 0x10000"), Call("GetWindowThreadProcessId", "0x10000 -> 77"),
              Call("CreateToolhelp32Snapshot", "flags 2 process 0 -> 0x108"),
              Call("Process32FirstW", "0x108 -> 1000 \"quillet.exe\""),
              Call("Process32NextW", "0x108 -> 0 (no more)"), Call("CloseHandle", "")},
             {"the window in front (0x10000) belongs to no listed process"}},
        Case{"NoWindowInFront",
             {Call("GetForegroundWindow", "-> 0"), Call("GetWindowThreadProcessId", "0 -> 0"),
              Call("CreateToolhelp32Snapshot", "flags 2 process 0 -> 0x108"), Call("CloseHandle", "")},
             {"finds no window in front"}},
        Case{"ChainWithoutABodyWindow",
             {Call("GetClassNameW", "0x1 -> \"Dialog\""), Call("GetWindow", "0x1 5 -> 0x2"),
              Call("GetClassNameW", "0x2 -> \"Worker\""), Call("GetWindow", "0x2 5 -> 0x3"),
              Call("GetClassNameW", "0x3 -> \"PIEHTML\""), Call("GetWindow", "0x3 5 -> 0")},
             {"compose-window test: \"Dialog\" > \"Worker\" > \"PIEHTML\" > no child: not the compose "
              "window"}},
        Case{"UnreadableClass",
             {Call("GetClassNameW", "0x1 -> 0")},
             {"compose-window test: (unreadable): not the compose window"}},
        Case{"StatusHeldAsMinusOne",
             {Tick(), Call("RegOpenKeyExW", "HKCU\\Software\\Sharp\\PhoneStatus access 1 -> 0"),
              Call("RegQueryValueExW", "Status15 -> -1")},
             {"polls Status15: -1, counts as over"}},
        Case{"StoreWithoutOutbox",
             {Call("CoInitializeEx", "model 0 -> 0x0"), Call("HrGetOneProp", "store 070 0x3001001F -> 0x0"),
              Call("CoUninitialize", "")},
             {"the Outbox inspection fails: the account's store names no Outbox"}},
        Case{"PartiesNotKnownByName",
             {sim::TraceEvent{0, "clock", "strikes", "twelve"}},
             {"strikes: twelve"}}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(Timeline, StepsKeepTheirTimeAndActor)
{
    std::vector<Line> lines;
    Timeline timeline({}, "", [&](const Line& line) { lines.push_back(line); });
    timeline.Feed({1500, "phone", "send/receive over", "Status15 removed"});
    timeline.Feed({1500, "program", "RegQueryValueExW", "Status15 -> missing"});
    timeline.Stopped(2000, true);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0].time, 1500);
    EXPECT_EQ(lines[0].actor, "phone");
    EXPECT_EQ(lines[0].event, "exchange");
    EXPECT_EQ(lines[1].event, "poll");
    EXPECT_EQ(lines[2].time, 2000);
    EXPECT_EQ(lines[2].actor, "runner");
}

}  // namespace
