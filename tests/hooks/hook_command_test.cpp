// A hook value split into program and parameters, and the shell request made from it.
#include <optional>
#include <string>
#include <vector>

#include "hooks/hook_command.h"
#include "sim/shell.h"
#include "support/phone_test.h"

namespace {

class HookCommandTest : public PhoneTest {};

TEST_F(HookCommandTest, SplitsAtTheFirstBar)
{
    struct Case {
        WString value;
        std::optional<WString> program;  // nullopt: nothing is started
        WString parameters;
    };
    const std::vector<Case> cases = {
        {WTEXT(""), std::nullopt, {}},
        {WTEXT("|"), std::nullopt, {}},
        {WTEXT("|x.exe"), std::nullopt, {}},
        {WTEXT("x.exe"), WTEXT("x.exe"), WTEXT("")},
        {WTEXT("x.exe|"), WTEXT("x.exe"), WTEXT("")},
        {WTEXT("x.exe|a|b||"), WTEXT("x.exe"), WTEXT("a|b||")},
        {WTEXT(" x.exe | -a "), WTEXT(" x.exe "), WTEXT(" -a ")},
        {WTEXT("\\Windows\\起動.exe|\"引数 1\""), WTEXT("\\Windows\\起動.exe"), WTEXT("\"引数 1\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::Utf8(c.value));
        Phone().Reset();
        EXPECT_EQ(RunHookCommand(c.value), 1);
        const auto& launches = sim::Shell().launches;
        if (!c.program) {
            EXPECT_TRUE(launches.empty());
            continue;
        }
        ASSERT_EQ(launches.size(), 1U);
        EXPECT_EQ(launches[0].file, *c.program);
        EXPECT_EQ(launches[0].parameters, std::optional<WString>(c.parameters));
    }
}

TEST_F(HookCommandTest, RequestSetsVerbFileParametersAndAQuietFailure)
{
    ASSERT_NE(LaunchProgram(WTEXT("x.exe"), WTEXT("")), 0);
    ASSERT_EQ(sim::Shell().launches.size(), 1U);
    const sim::Launch& launch = sim::Shell().launches[0];
    EXPECT_EQ(launch.size, sizeof(SHELLEXECUTEINFOW));
    EXPECT_EQ(launch.mask, SEE_MASK_FLAG_NO_UI);  // a failed start never stops the run with a box
    EXPECT_EQ(launch.window, nullptr);
    EXPECT_EQ(launch.verb, std::optional<WString>(WTEXT("Open")));
    EXPECT_EQ(launch.parameters, std::optional<WString>(WString()));
    EXPECT_EQ(launch.directory, std::nullopt);
    EXPECT_EQ(launch.show, SW_HIDE);
    EXPECT_TRUE(launch.otherFieldsZero);
    ASSERT_EQ(Phone().TraceOf("ShellExecuteExW").size(), 1U);
}

TEST_F(HookCommandTest, FailedStartIsNotPassedOn)
{
    struct Case {
        const char* name;
        bool missing;
        bool failing;
    };
    for (const Case& c : {Case{"missing program", true, false}, Case{"shell fails", false, true}}) {
        SCOPED_TRACE(c.name);
        Phone().Reset();
        if (c.missing) {
            sim::Shell().missingPrograms.insert(WTEXT("gone.exe"));
        }
        if (c.failing) {
            Phone().Fail("ShellExecuteExW");
        }
        EXPECT_EQ(LaunchProgram(WTEXT("gone.exe"), WTEXT("a")), 0);
        EXPECT_EQ(RunHookCommand(WTEXT("gone.exe|a")), 1);
        ASSERT_EQ(sim::Shell().launches.size(), 2U);
        EXPECT_EQ(sim::Shell().launches[1].result, FALSE);
        EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    }
}

TEST_F(HookCommandTest, EmptyProgramNeverReachesTheShell)
{
    EXPECT_EQ(LaunchProgram(WString(), WTEXT("a")), 0);
    EXPECT_TRUE(sim::Shell().launches.empty());
    EXPECT_EQ(Phone().CallCount("ShellExecuteExW"), 0);
}

}  // namespace
