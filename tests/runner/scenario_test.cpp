// Reading scenarios: what each field sets, and where a bad one is reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sim/runner/scenario.h"

namespace {

using runner::ParseScenario;
using runner::Scenario;
using runner::ScenarioError;

TEST(ScenarioDefaults, AnEmptyObjectIsTheComposeWindowWithTheAccountAndThreeHooks)
{
    const Scenario scenario = ParseScenario("{}", "empty.json");
    EXPECT_EQ(scenario.commandLine, "");
    EXPECT_FALSE(scenario.realTime);
    EXPECT_FALSE(scenario.startHooks);
    EXPECT_FALSE(scenario.alreadyRunning);
    EXPECT_EQ(scenario.timeLimit, 60000);
    EXPECT_TRUE(scenario.front.IsMessaging());
    EXPECT_EQ(scenario.front.window, "compose");
    EXPECT_EQ(scenario.front.bar, runner::FrontSetup::Bar::Own);
    ASSERT_EQ(scenario.stores.size(), 1U);
    EXPECT_EQ(scenario.stores[0].name.substr(0, 3), "070");
    EXPECT_TRUE(scenario.stores[0].outbox.empty());
    EXPECT_EQ(scenario.profile.state, runner::ProfileSetup::State::Present);
    EXPECT_NE(scenario.profile.content.find("\nsend="), std::string::npos);
    EXPECT_EQ(scenario.phone.behaviour, runner::PhoneSetup::Behaviour::Finishes);
    EXPECT_TRUE(scenario.failures.empty());
}

TEST(ScenarioFields, EachSetsWhatItNames)
{
    const Scenario scenario = ParseScenario(R"({
        "commandLine": "/showmenu /touchleft", "time": "real", "timeLimit": 5000, "hooks": "started",
        "alreadyRunning": true, "menu": "dismiss",
        "front": {"program": "cprog.exe", "window": ["A", "B"], "inFront": false, "bar": "foreign",
                  "barOwner": "x.exe", "draftDelay": 250},
        "profile": {"state": "unreadable", "lines": ["[exec]", "after=a"]},
        "stores": [{"name": "SMS", "opens": false, "hasOutbox": false},
                   {"name": "070", "outbox": ["one", {"subject": "two", "opens": false}]}],
        "phone": {"behaviour": "neverFinishes", "exchangeLength": 10, "sendsMail": false},
        "failures": [{"call": "SetTimer"}, {"call": "ReadFile", "nth": 2}]
    })",
                                            "full.json");
    EXPECT_EQ(scenario.commandLine, "/showmenu /touchleft");
    EXPECT_TRUE(scenario.realTime);
    EXPECT_EQ(scenario.timeLimit, 5000);
    EXPECT_TRUE(scenario.startHooks);
    EXPECT_TRUE(scenario.alreadyRunning);
    EXPECT_EQ(scenario.menu, "dismiss");
    EXPECT_FALSE(scenario.front.IsMessaging());
    EXPECT_EQ(scenario.front.chain, (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(scenario.front.inFront);
    EXPECT_EQ(scenario.front.bar, runner::FrontSetup::Bar::Foreign);
    EXPECT_EQ(scenario.front.barOwner, "x.exe");
    EXPECT_EQ(scenario.front.draftDelay, 250);
    EXPECT_EQ(scenario.profile.state, runner::ProfileSetup::State::Unreadable);
    EXPECT_EQ(scenario.profile.content, "[exec]\nafter=a\n");
    ASSERT_EQ(scenario.stores.size(), 2U);
    EXPECT_FALSE(scenario.stores[0].opens);
    EXPECT_FALSE(scenario.stores[0].hasOutbox);
    ASSERT_EQ(scenario.stores[1].outbox.size(), 2U);
    EXPECT_EQ(scenario.stores[1].outbox[0].subject, "one");
    EXPECT_TRUE(scenario.stores[1].outbox[0].opens);
    EXPECT_FALSE(scenario.stores[1].outbox[1].opens);
    EXPECT_EQ(scenario.phone.behaviour, runner::PhoneSetup::Behaviour::NeverFinishes);
    EXPECT_EQ(scenario.phone.exchangeLength, 10);
    EXPECT_FALSE(scenario.phone.sendsMail);
    ASSERT_EQ(scenario.failures.size(), 2U);
    EXPECT_EQ(scenario.failures[1].call, "ReadFile");
    EXPECT_EQ(scenario.failures[1].nth, 2);
}

TEST(ScenarioFields, ProfileContentIsTakenByteForByte)
{
    const Scenario scenario =
        ParseScenario(R"({"profile": {"content": "[exec]\r\nsend=\u9001\r\n"}})", "c.json");
    EXPECT_EQ(scenario.profile.content, "[exec]\r\nsend=\xE9\x80\x81\r\n");
    for (const auto& [base64, bytes] :
         std::vector<std::pair<std::string, std::string>>{{"", ""},
                                                          {"//5bAA==", std::string("\xFF\xFE[\0", 4)},
                                                          {"gqA=", "\x82\xA0"},
                                                          {"gqCC", "\x82\xA0\x82"}}) {
        EXPECT_EQ(ParseScenario(R"({"profile": {"base64": ")" + base64 + "\"}}", "b.json").profile.content,
                  bytes)
            << base64;
    }
}

struct BadScenario {
    const char* json;
    const char* pointer;
    const char* problem;
};

class BadScenarios : public testing::TestWithParam<BadScenario> {};

TEST_P(BadScenarios, AreReportedWithThePlaceAndTheProblem)
{
    const BadScenario& bad = GetParam();
    try {
        ParseScenario(bad.json, "bad.json");
        FAIL() << "accepted " << bad.json;
    } catch (const ScenarioError& error) {
        EXPECT_EQ(error.Source(), "bad.json");
        EXPECT_EQ(error.Pointer(), bad.pointer);
        EXPECT_NE(std::string(error.what()).find(bad.problem), std::string::npos) << error.what();
        EXPECT_EQ(std::string(error.what()).rfind("bad.json: " + std::string(bad.pointer), 0), 0U)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, BadScenarios,
    testing::Values(
        BadScenario{"{\"time\": \"virtual\",}", "", "not valid JSON"}, BadScenario{"", "", "not valid JSON"},
        BadScenario{"[]", "", "expected an object, found array"},
        BadScenario{R"({"timeLimit": 1e400})", "", "not valid JSON: number overflow parsing '1e400'"},
        BadScenario{R"({"colour": "red"})", "/colour", "unknown field"},
        BadScenario{R"({"front": {"bar": "own", "Bar": "x"}})", "/front/Bar", "unknown field"},
        BadScenario{R"({"a/b~c": 1})", "/a~1b~0c", "unknown field"},
        BadScenario{R"({"commandLine": 7})", "/commandLine", "expected a string, found number"},
        BadScenario{R"({"commandLine": "/showmenu\u0000/touchleft"})", "/commandLine",
                    "can't hold a NUL character (the first at byte 9)"},
        BadScenario{R"({"alreadyRunning": "yes"})", "/alreadyRunning", "expected true or false"},
        BadScenario{R"({"timeLimit": 1.5})", "/timeLimit", "expected an integer"},
        BadScenario{R"({"secondCopyAt": -5})", "/secondCopyAt", "too small: expected an integer from 0 to"},
        BadScenario{R"({"secondCopyAt": 5, "failures": [{"call": "CreateMutexW", "nth": 2}]})", "/failures",
                    "both copies would run"},
        BadScenario{R"({"timeLimit": -1})", "/timeLimit", "from 0 to"},
        BadScenario{R"({"timeLimit": 18446744073709551615})", "/timeLimit", "too large: expected an integer"},
        BadScenario{R"({"timeLimit": 1e20})", "/timeLimit",
                    "too large: expected an integer from 0 to 86400000"},
        BadScenario{R"({"phone": {"exchangeLength": 99999999999999999999999}})", "/phone/exchangeLength",
                    "too large: expected an integer from 0 to 86400000"},
        BadScenario{R"({"failures": [{"call": "SetTimer", "nth": -1e30}]})", "/failures/0/nth",
                    "too small: expected an integer from 0 to 2147483647"},
        BadScenario{"{\"front\": {\"bar\": \"own\",\n \"bar\": \"none\"}}", "/front/bar",
                    "given twice in one object, at line 1, column 12 and at line 2, column 2"},
        BadScenario{
            R"({"stores": [{"name": "a"}, {"name": "b", "outbox": [{"opens": true, "opens": false}]}]})",
            "/stores/1/outbox/0/opens",
            "given twice in one object, at line 1, column 54 and at line 1, column 69"},
        BadScenario{R"({"time": "fast"})", "/time", "expected one of \"virtual\", \"real\""},
        BadScenario{R"({"menu": 40001})", "/menu", "expected a string"},
        BadScenario{R"({"front": {"window": []}})", "/front/window", "at least one"},
        BadScenario{R"({"front": {"window": ["Dialog", "Worker", "SysListView32", "x"]}})", "/front/window",
                    "needs \"windowIs\": \"compose\" or \"other\""},
        BadScenario{R"({"front": {"window": "compose", "windowIs": "other"}})", "/front/windowIs",
                    "goes with a window given as an array"},
        BadScenario{R"({"front": {"program": "x.exe", "window": ["A"], "windowIs": "compose"}})",
                    "/front/windowIs", "only the Messaging program's window"},
        BadScenario{R"({"front": {"window": 3}})", "/front/window", "\"compose\", \"other\" or an array"},
        BadScenario{R"({"front": {"program": "x.exe", "window": "compose"}})", "/front/window",
                    "array of window classes"},
        BadScenario{R"({"profile": {"state": "absent", "lines": []}})", "/profile", "no content"},
        BadScenario{R"({"profile": {"lines": [], "content": ""}})", "/profile/content", "only one of them"},
        BadScenario{R"({"profile": {"content": "", "base64": ""}})", "/profile/base64", "only one of them"},
        BadScenario{R"({"profile": {"base64": "gqA"}})", "/profile/base64", "groups of four"},
        BadScenario{R"({"profile": {"base64": "gq-="}})", "/profile/base64", "\"-\" at 2 is not a base64"},
        BadScenario{R"({"profile": {"state": "absent", "base64": ""}})", "/profile", "no content"},
        BadScenario{R"({"profile": {"lines": ["a", 2]}})", "/profile/lines/1", "expected a string"},
        BadScenario{R"({"stores": {}})", "/stores", "expected an array of stores"},
        BadScenario{R"({"stores": [{"outbox": []}]})", "/stores/0", "needs a \"name\""},
        BadScenario{R"({"stores": [{"name": "070", "outbox": [{"opens": "no"}]}]})",
                    "/stores/0/outbox/0/opens", "expected true or false"},
        BadScenario{R"({"stores": [{"name": "070", "hasOutbox": false, "outbox": ["x"]}]})",
                    "/stores/0/outbox", "without an Outbox"},
        BadScenario{R"({"phone": {"behaviour": "finished"}})", "/phone/behaviour", "\"neverFinishes\""},
        BadScenario{R"({"phone": {"statusAtEnd": {"dword": 1, "string": "1"}}})", "/phone/statusAtEnd",
                    "one of \"dword\", \"string\" or \"binary\""},
        BadScenario{R"({"phone": {"statusAtEnd": {"dword": 4294967296}}})", "/phone/statusAtEnd/dword",
                    "too large: expected an integer from 0 to 4294967295"},
        BadScenario{R"({"phone": {"statusAtStart": {"binary": "AQ"}}})", "/phone/statusAtStart/binary",
                    "groups of four"},
        BadScenario{R"({"phone": {"behaviour": "neverFinishes", "statusAtEnd": {"dword": 0}}})",
                    "/phone/statusAtEnd", "only an exchange that finishes"},
        BadScenario{R"({"phone": {"behaviour": "keyAbsent", "statusAtStart": {"dword": 1}}})",
                    "/phone/statusAtStart", "no Status15 to start with"},
        BadScenario{R"({"failures": [{"call": "SetTimerW"}]})", "/failures/0/call",
                    "can't make \"SetTimerW\" fail"},
        BadScenario{R"({"failures": [{"call": "HrSetOneProp"}]})", "/failures/0/call",
                    "the program never calls \"HrSetOneProp\""},
        BadScenario{R"({"failures": [{"nth": 1}]})", "/failures/0", "needs a \"call\""},
        BadScenario{R"({"failures": [{"call": "SetTimer", "nth": -2}]})", "/failures/0/nth", "from 0"},
        BadScenario{R"({"failures": [{"call": "SetTimer"}, {"call": "SetTimer", "nth": 2}]})", "/failures/1",
                    "already planned"}));

TEST(DefaultScenarioText, IsAValidScenarioThatRunsForReal)
{
    const Scenario scenario = runner::DefaultScenario();
    EXPECT_TRUE(scenario.realTime);
    EXPECT_TRUE(scenario.startHooks);
    EXPECT_EQ(scenario.profile.state, runner::ProfileSetup::State::Present);
    // Every hook names a program that exists on this machine.
    for (const char* key : {"before=", "send=", "after="}) {
        const auto at = scenario.profile.content.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        const auto start = at + std::string(key).size();
        const std::string program =
            scenario.profile.content.substr(start, scenario.profile.content.find('|', start) - start);
        EXPECT_TRUE(std::filesystem::exists(program)) << key << program;
    }
}

}  // namespace
