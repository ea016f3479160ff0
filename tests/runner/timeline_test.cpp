// Telling a trace as steps, for traces the scenarios don't produce.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/runner/diagram.h"
#include "sim/runner/timeline.h"

namespace {

using runner::Line;
using runner::Timeline;

struct Case {
    const char* name;
    std::vector<sim::TraceEvent> trace;
    std::vector<std::string> expected;
    std::vector<std::string> drawn = {};  // pieces of the diagram --diagram prints
};

struct Told {
    std::vector<std::string> texts;
    std::string diagram;
};

Told Tell(const std::vector<sim::TraceEvent>& trace)
{
    Told told;
    runner::Diagram diagram;
    const runner::HookValues hooks = {
        {"before", "/bin/b|x\ry"}, {"send", "/bin/same"}, {"after", "/bin/same"}};
    Timeline timeline([&hooks] { return runner::HookValues(hooks); }, "/tmp/run",
                      [&](const Line& line) {
                          told.texts.push_back(line.text);
                          diagram.Add(line);
                      });
    for (const auto& event : trace) {
        timeline.Feed(event);
    }
    timeline.Exited(0, 0);
    told.texts.pop_back();  // the exit line
    std::ostringstream out;
    diagram.Print(out, "");
    told.diagram = out.str();
    return told;
}

sim::TraceEvent Call(const char* what, sim::Fields args, sim::Fields result = {})
{
    return {0, "program", what, std::move(args), std::move(result)};
}

sim::Handle Window(std::uintptr_t value)
{
    return sim::Handle{value};
}

sim::TraceEvent Tick()
{
    return Call("GetMessageW", {}, {{"message", sim::Name{"WM_TIMER"}}, {"result", sim::Int(1)}});
}

sim::TraceEvent Close()
{
    return Call("PostMessageW", {{"window", Window(0x1000a)}, {"message", sim::Name{"WM_CLOSE"}}},
                {{"result", true}});
}

sim::TraceEvent Launch(const WString& file, const WString& parameters, DWORD error)
{
    return Call("ShellExecuteExW", {{"file", file}, {"parameters", parameters}},
                {{"result", error == 0}, {"error", sim::Int(error)}});
}

sim::TraceEvent StoreCall(const char* what, const char* store, sim::Fields args, std::uint32_t result = 0)
{
    args.insert(args.begin(), {"object", sim::Interface{"store", sim::Utf16(store), sim::Utf16(store)}});
    return Call(what, std::move(args), {{"result", sim::HResult{result}}});
}

sim::TraceEvent OutboxCall(const char* what, const char* store, sim::Fields result)
{
    return Call(what, {{"object", sim::Interface{"contents table", WTEXT("Outbox"), sim::Utf16(store)}}},
                std::move(result));
}

sim::TraceEvent DisplayName(const char* store, std::uint32_t result = 0)
{
    return StoreCall("HrGetOneProp", store, {{"tag", sim::Hex{0x3001001F}}}, result);
}

sim::TraceEvent Com()
{
    return Call("CoInitializeEx", {}, {{"result", sim::HResult{0}}});
}

sim::TraceEvent ClassName(std::uintptr_t window, const WString& name)
{
    sim::Fields result = {{"result", sim::Int(name.size())}};
    if (!name.empty()) {
        result.push_back({"class", name});
    }
    return Call("GetClassNameW", {{"window", Window(window)}}, std::move(result));
}

sim::TraceEvent Child(std::uintptr_t window, std::uintptr_t child)
{
    return Call("GetWindow", {{"window", Window(window)}, {"command", sim::Int(5)}},
                {{"result", Window(child)}});
}

constexpr std::uint32_t kFailed = 0x80004005;

class Traces : public testing::TestWithParam<Case> {};

TEST_P(Traces, AreToldAsSteps)
{
    const Told told = Tell(GetParam().trace);
    EXPECT_EQ(told.texts, GetParam().expected);
    for (const std::string& piece : GetParam().drawn) {
        EXPECT_NE(told.diagram.find(piece), std::string::npos) << piece << "\n" << told.diagram;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Timeline, Traces,
    testing::Values(
        Case{"LaunchOfNoEntry", {Launch(WTEXT("/bin/x"), WTEXT(""), 0)}, {"starts a program: \"/bin/x\""}},
        // A failure is drawn on a band and marked, to be seen on a drawing scaled down.
        Case{
            "OneProgramForTwoEntries",
            {Launch(WTEXT("/bin/same"), WTEXT(""), 2)},
            {"starts the \"send\"/\"after\" hook: \"/bin/same\" -> can't be started (there is no such file)"},
            {"    rect rgba(255, 0, 0, 0.45)\n        program -x hook_send_2fafter: \xE2\x9C\x98 0.000 s"}},
        // Mermaid draws text between "$$" as mathematics.
        Case{"DollarsInNamesAndParameters",
             {Launch(WTEXT("/bin/pay"), WTEXT("$$x$$ now"), 0),
              sim::TraceEvent{0, "$$x$$.exe", "left soft key clicked", {}, {}}},
             {"starts a program: \"/bin/pay\" with parameters $$x$$ now", "its left soft key is clicked"},
             {"parameters #36;#36;x#36;#36; now", " as #36;#36;x#36;#36;.exe\n"}},
        // Names of the same length in bytes, none of them ASCII, are still two columns.
        Case{"ProgramsNamedInJapanese",
             {sim::TraceEvent{0, "\xE9\x80\x81\xE4\xBF\xA1.exe", "left soft key clicked", {}, {}},
              sim::TraceEvent{0, "\xE5\x8F\x97\xE4\xBF\xA1.exe", "left soft key clicked", {}, {}}},
             {"its left soft key is clicked", "its left soft key is clicked"},
             {" as \xE9\x80\x81\xE4\xBF\xA1.exe\n", " as \xE5\x8F\x97\xE4\xBF\xA1.exe\n"}},
        // A long step is drawn on several lines, broken at its spaces only.
        Case{
            "LongNameOnALineOfItsOwn",
            {Launch(WTEXT("/bin/quillet-send-and-receive-hook.exe"), WTEXT("--on quillet.ini"), 0)},
            {"starts a program: \"/bin/quillet-send-and-receive-hook.exe\" with parameters --on quillet.ini"},
            {": 0.000 s starts a program:<br>\"/bin/quillet-send-and-receive-hook.exe\"<br>"}},
        // A control character is matched as it is and shown as its picture, never raw.
        Case{"HookWithALoneCarriageReturn",
             {Launch(WTEXT("/bin/b"), WTEXT("x\ry"), 0)},
             {"starts the \"before\" hook: \"/bin/b\" with parameters x\xE2\x90\x8Dy"}},
        // A hook that the ProfileFile names but the program didn't start is shown as such.
        Case{
            "NamedHookNotStarted",
            {Call("CreateWindowExW", {{"class", WString(WTEXT("HIDE_WINDOW"))}},
                  {{"result", Window(0x1000a)}}),
             Call("CreateFileW", {{"path", WString(WTEXT("/tmp/run/quillet.ini"))}, {"write", false}},
                  {{"result", true}}),
             Call("ReadFile", {}, {{"result", true}, {"bytes", sim::Int(40)}}),
             Call("CloseHandle", {}, {{"result", true}}), Tick(), Com(), DisplayName("070"),
             OutboxCall("IMAPITable::QueryRows", "070", {{"result", sim::HResult{0}}, {"rows", sim::Int(0)}}),
             Call("CoUninitialize", {}), Close()},
            {"reads the ProfileFile <folder>/quillet.ini: 40 bytes",
             "reads the Outbox of \"070\": 0 messages, empty",
             "starts no hook: though the \"send\" entry names \"/bin/same\"", "closes its window"}},
        // The line says what the program concluded, whatever failed on the way there.
        Case{"InspectionGotThroughAStoreThatDoesNotOpen",
             {Com(), Call("IMAPISession::OpenMsgStore", {}, {{"result", sim::HResult{kFailed}}}),
              DisplayName("070-b"),
              OutboxCall("IMAPITable::GetRowCount", "070-b",
                         {{"result", sim::HResult{0}}, {"count", sim::Int(1)}})},
             {"counts the Outbox of \"070-b\": 1 message, mail waits"}},
        Case{
            "ReadFailingAfterARowEndsTheWalk",
            {Tick(), Com(), DisplayName("070"),
             OutboxCall("IMAPITable::QueryRows", "070", {{"result", sim::HResult{0}}, {"rows", sim::Int(1)}}),
             OutboxCall("IMAPITable::QueryRows", "070",
                        {{"result", sim::HResult{kFailed}}, {"rows", sim::Int(0)}})},
            {"reads the Outbox of \"070\": 1 message, not empty"}},
        Case{"FailedInspectionNamesTheLastFailure",
             {Com(), DisplayName("070-a", kFailed), DisplayName("070-b"),
              OutboxCall("IMAPITable::GetRowCount", "070-b", {{"result", sim::HResult{kFailed}}})},
             {"the Outbox inspection fails: after IMAPITable::GetRowCount -> 0x80004005"}},
        Case{"OwnerNotListed",
             {Call("GetForegroundWindow", {}, {{"result", Window(0x10000)}}),
              Call("GetWindowThreadProcessId", {{"window", Window(0x10000)}}, {{"process", sim::Int(77)}}),
              Call("CreateToolhelp32Snapshot", {}, {{"result", Window(0x108)}}),
              Call("Process32FirstW", {},
                   {{"result", true}, {"process", sim::Int(1000)}, {"exe", WString(WTEXT("quillet.exe"))}}),
              Call("Process32NextW", {}, {{"result", false}}), Call("CloseHandle", {})},
             {"the window in front (0x10000) belongs to no listed process"}},
        Case{"NoWindowInFront",
             {Call("GetForegroundWindow", {}, {{"result", Window(0)}}),
              Call("GetWindowThreadProcessId", {{"window", Window(0)}}, {{"process", sim::Int(0)}}),
              Call("CreateToolhelp32Snapshot", {}, {{"result", Window(0x108)}}), Call("CloseHandle", {})},
             {"finds no window in front"}},
        Case{"ChainWithoutABodyWindow",
             {ClassName(1, WTEXT("Dialog")), Child(1, 2), ClassName(2, WTEXT("Worker")), Child(2, 3),
              ClassName(3, WTEXT("PIEHTML")), Child(3, 0)},
             {"compose-window test: \"Dialog\" > \"Worker\" > \"PIEHTML\" > no child: not the compose "
              "window"}},
        Case{"UnreadableClass",
             {ClassName(1, WTEXT(""))},
             {"compose-window test: (unreadable): not the compose window"}},
        Case{"StatusHeldAsMinusOne",
             {Tick(), Call("RegOpenKeyExW", {}, {{"result", sim::Int(0)}}),
              Call("RegQueryValueExW", {{"name", WString(WTEXT("Status15"))}},
                   {{"result", sim::Int(0)},
                    {"type", sim::Int(4)},
                    {"data", sim::Bytes{{0xFF, 0xFF, 0xFF, 0xFF}}},
                    {"read", sim::Int(-1)}})},
             {"polls Status15: -1, taken for the value gone: the exchange is over"}},
        Case{"StoreWithoutOutbox",
             {Com(), DisplayName("070"), Call("CoUninitialize", {})},
             {"the Outbox inspection fails: the account's store names no Outbox"}},
        Case{"PartiesNotKnownByName",
             {sim::TraceEvent{0, "clock", "strikes", {{"hour", sim::Int(12)}}, {}}},
             {"strikes: hour 12"}}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(Timeline, StepsKeepTheirTimeAndActor)
{
    std::vector<Line> lines;
    Timeline timeline([] { return runner::HookValues(); }, "",
                      [&](const Line& line) { lines.push_back(line); });
    timeline.Feed({1500, "phone", "send/receive over", {{"removed", WString(WTEXT("Status15"))}}, {}});
    timeline.Feed({1500,
                   "program",
                   "RegQueryValueExW",
                   {{"name", WString(WTEXT("Status15"))}},
                   {{"result", sim::Int(2)}}});
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
