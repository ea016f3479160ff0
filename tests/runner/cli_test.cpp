// quillet-sim's command line: its exit codes and what it says about bad input.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/runner/run.h"
#include "sim/runner/scenario.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code = 0;
    std::string out;
    std::string err;
};

Outcome RunQuilletSim(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = runner::RunCommandLine(arguments, out, err);
    return {code, out.str(), err.str()};
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class CommandLine : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("quillet-sim-test-" +
                   std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& text)
    {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path folder_;
};

struct BadInput {
    const char* name;
    const char* text;  // null: the file doesn't exist
    int code;
    const char* says;
};

class BadInputs : public CommandLine, public testing::WithParamInterface<BadInput> {};

TEST_P(BadInputs, GetAMessageNamingTheFileAndTheirOwnExitCode)
{
    const BadInput& bad = GetParam();
    const fs::path path = bad.text == nullptr ? folder_ / bad.name : fs::path(Write(bad.name, bad.text));
    const Outcome outcome = RunQuilletSim({path.string()});
    EXPECT_EQ(outcome.code, bad.code);
    EXPECT_EQ(outcome.out, "") << "nothing runs";
    EXPECT_NE(outcome.err.find("quillet-sim: " + path.string() + ": "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(bad.says), std::string::npos) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(
    Runner, BadInputs,
    testing::Values(
        BadInput{"missing.json", nullptr, runner::kExitNoScenario, "can't open the scenario"},
        BadInput{"prose.json", "Send my mail, please.", runner::kExitBadScenario, "not valid JSON"},
        BadInput{"truncated.json", "{\n  \"menu\": \"send\",\n", runner::kExitBadScenario, "line 3"},
        BadInput{"unknown.json", R"({"front": {"colour": "red"}})", runner::kExitBadScenario,
                 "/front/colour: unknown field"},
        BadInput{"type.json", R"({"stores": [{"name": 70}]})", runner::kExitBadScenario,
                 "/stores/0/name: expected a string, found number"}),
    [](const testing::TestParamInfo<BadInput>& param) {
        return std::string(param.param.code == 66 ? "Missing" : "Bad") + std::to_string(param.index);
    });

TEST_F(CommandLine, NeitherAFolderNorAnEndlessFileIsAScenario)
{
    const Outcome folder = RunQuilletSim({folder_.string()});
    EXPECT_EQ(folder.code, runner::kExitNoScenario);
    EXPECT_NE(folder.err.find("folder"), std::string::npos) << folder.err;
    const Outcome endless = RunQuilletSim({"/dev/zero"});
    EXPECT_EQ(endless.code, runner::kExitBadScenario);
    EXPECT_NE(endless.err.find("/dev/zero: larger than 64 MiB"), std::string::npos) << endless.err;
}

TEST_F(CommandLine, UsageMistakesExitWith64)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
        {{"--jsno"}, "--jsno"},
        {{"a.json", "b.json"}, "b.json"},
        {{"--json", "--diagram"}, "excludes"},
        {{"--diagram", "--verbose"}, "excludes"},
        {{"--print-default", "x.json"}, "excludes"},
        {{"--print-default", "--virtual-time"}, "excludes"},
        {{""}, "path is empty"},
    };
    for (const auto& [arguments, says] : mistakes) {
        const Outcome outcome = RunQuilletSim(arguments);
        EXPECT_EQ(outcome.code, runner::kExitUsage) << arguments.front();
        EXPECT_EQ(outcome.out, "") << arguments.front();
        EXPECT_TRUE(outcome.err.starts_with("quillet-sim: ")) << outcome.err;
        EXPECT_NE(outcome.err.find(says), std::string::npos) << outcome.err;
    }
    const Outcome help = RunQuilletSim({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("124 the run reached its time limit"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("docs/scenarios.md"), std::string::npos) << help.out;
}

TEST_F(CommandLine, PrintDefaultGivesTheBuiltInScenario)
{
    const Outcome outcome = RunQuilletSim({"--print-default"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.out, runner::DefaultScenarioText());
    // What it prints is a scenario file the runner takes back.
    EXPECT_NO_THROW(runner::LoadScenario(Write("default.json", outcome.out)));
}

// The runner's exit code is the program's; a run stopped at its time limit has its own. The
// JSON output ends with the same code.
TEST_F(CommandLine, ExitsWithTheProgramsCode)
{
    const std::vector<std::pair<const char*, int>> runs = {
        {"{}", 0},
        {R"({"alreadyRunning": true})", 1},
        {R"({"failures": [{"call": "CoInitializeEx"}]})", 2},
        {R"({"phone": {"behaviour": "neverFinishes"}, "timeLimit": 1000})", runner::kExitTimeLimit},
    };
    for (const auto& [text, code] : runs) {
        const std::string path = Write("run.json", text);
        const Outcome plain = RunQuilletSim({path});
        EXPECT_EQ(plain.code, code) << text;
        const Outcome json = RunQuilletSim({"--json", path});
        const std::string lastLine = json.out.substr(json.out.rfind('\n', json.out.size() - 2) + 1);
        EXPECT_TRUE(lastLine.starts_with(R"({"event":"end","exitCode":)" + std::to_string(code) + ","))
            << text << "\n"
            << json.out;
    }
    const Outcome stopped = RunQuilletSim(
        {Write("never.json", R"({"phone": {"behaviour": "neverFinishes"}, "timeLimit": 1000})")});
    EXPECT_NE(stopped.out.find("time limit"), std::string::npos);
}

// A run stopped by a signal leaves no folder behind and ends as killed by that signal.
TEST_F(CommandLine, ASignalStopsTheRunAndItsFolderGoes)
{
    const std::string scenario =
        Write("never.json", R"({"time": "real", "phone": {"behaviour": "neverFinishes"}})");
    const fs::path runs = folder_ / "runs";
    fs::create_directories(runs);
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            setenv("TMPDIR", runs.c_str(), 1);
            std::ostringstream out;
            std::ostringstream err;
            _exit(runner::RunCommandLine({scenario}, out, err));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "signal " << signal << ": " << status;
        EXPECT_TRUE(fs::is_empty(runs))
            << "signal " << signal << ": " << fs::directory_iterator(runs)->path();
    }
}

// Hooks started for real print to the runner's stderr, never into its output, even after the
// run has ended; in every mode stdout holds the runner's own lines alone.
TEST_F(CommandLine, StartedHooksPrintBesideTheOutputNeverIntoIt)
{
    const std::string scenario = Write("hooks.json", R"({"hooks": "started",
        "stores": [{"name": "070", "outbox": ["x"]}],
        "profile": {"lines": ["[exec]", "before=/bin/echo|NOT-JSON from the before hook",
                              "send=/bin/sh|-c \"sleep 0.3; echo LATE from the send hook\""]}})");
    for (const char* mode : {"--json", "--diagram", "--verbose"}) {
        const fs::path out = folder_ / "out";
        const fs::path err = folder_ / "err";
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            const int code = runner::RunCommandLine({mode, scenario}, std::cout, std::cerr);
            std::cout.flush();
            _exit(code);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        for (int i = 0; i < 500 && ReadAll(err).find("LATE") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_NE(ReadAll(err).find("NOT-JSON from the before hook"), std::string::npos) << mode;
        EXPECT_NE(ReadAll(err).find("LATE from the send hook"), std::string::npos) << mode;
        std::istringstream printed(ReadAll(out));
        for (std::string line; std::getline(printed, line);) {
            EXPECT_NE(line, "NOT-JSON from the before hook") << mode;
            EXPECT_NE(line, "LATE from the send hook") << mode;
        }
    }
}

// The overrides make the real-time default deterministic without touching the scenario.
TEST_F(CommandLine, OverridesTurnARealRunIntoARecordedVirtualOne)
{
    const Outcome outcome = RunQuilletSim({"--virtual-time", "--record-hooks"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_NE(outcome.out.find("(virtual time, hooks recorded)"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("  2.000 s  program    starts the \"send\" hook"), std::string::npos)
        << outcome.out;
}

TEST_F(CommandLine, VerboseAddsEveryCall)
{
    // A ProfileFile in Shift-JIS, so that its conversion is among the calls.
    const std::string path = Write("plain.json", R"({"profile": {"base64": "W2V4ZWNdDQpzZW5kPYKgDQo="}})");
    const Outcome plain = RunQuilletSim({path});
    const Outcome verbose = RunQuilletSim({"--verbose", path});
    EXPECT_EQ(plain.out.find(". GetMessageW"), std::string::npos);
    for (const char* call :
         {". GetMessageW -> 1 message WM_TIMER", ". TranslateMessage", ". DispatchMessageW", ". GetLastError",
          ". GetStockObject", ". MultiByteToWideChar codePage 932"}) {
        EXPECT_NE(verbose.out.find(call), std::string::npos) << call;
    }
    EXPECT_EQ(verbose.out.find((fs::temp_directory_path() / "quillet-sim-").string()), std::string::npos)
        << "the run's folder shows as <folder>";
}

}  // namespace
