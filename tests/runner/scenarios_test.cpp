// Every scenario under scenarios/ against its expected timeline. Set QUILLET_UPDATE_TIMELINES=1
// to write the expected files from what the runs print instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sim/mapi/store.h"
#include "sim/runner/output.h"
#include "sim/runner/run.h"
#include "sim/runner/scenario.h"

namespace {

namespace fs = std::filesystem;

fs::path ScenarioFolder()
{
    return QUILLET_SCENARIOS;
}

std::vector<std::string> ScenarioNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(ScenarioFolder())) {
        if (entry.path().extension() == ".json") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestName(const testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; },
        '_');
    return name;
}

std::string RunAndPrint(const runner::Scenario& scenario, bool json = false)
{
    std::ostringstream out;
    runner::RunScenario(scenario, runner::RunOptions{json, false}, out);
    return out.str();
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Updating()
{
    const char* update = std::getenv("QUILLET_UPDATE_TIMELINES");
    return update != nullptr && std::string(update) == "1";
}

// The expected file's name beside the scenario; written instead of compared when updating.
void ExpectTimeline(const std::string& name, const std::string& timeline)
{
    const fs::path expected = ScenarioFolder() / (name + ".timeline");
    if (Updating()) {
        std::ofstream(expected, std::ios::binary) << timeline;
        return;
    }
    ASSERT_TRUE(fs::exists(expected))
        << expected << " is missing; run with QUILLET_UPDATE_TIMELINES=1 to write it";
    EXPECT_EQ(ReadAll(expected), timeline) << "the timeline of " << name << " changed";
}

class ScenarioFile : public testing::TestWithParam<std::string> {
protected:
    [[nodiscard]] static runner::Scenario Load()
    {
        return runner::LoadScenario((ScenarioFolder() / (GetParam() + ".json")).string());
    }
};

TEST_P(ScenarioFile, PrintsItsExpectedTimeline)
{
    ExpectTimeline(GetParam(), RunAndPrint(Load()));
}

// Whatever a run went through, the program gave every store interface, buffer and COM/MAPI
// start back.
TEST_P(ScenarioFile, LeavesTheMessageStoreAsItFoundIt)
{
    RunAndPrint(Load());
    EXPECT_TRUE(sim::mapi::AllGivenBack()) << sim::mapi::Describe(sim::mapi::Accounting());
}

// --json tells the same steps, one object per line, after a heading object.
TEST_P(ScenarioFile, JsonHasTheSameSteps)
{
    const runner::Scenario scenario = Load();
    std::istringstream text(RunAndPrint(scenario));
    std::istringstream json(RunAndPrint(scenario, true));
    std::string line;
    std::vector<std::string> texts;
    while (std::getline(text, line)) {
        // The time column is wider in a run that may last 1000 s or more.
        const auto unit = line.find(" s  ");
        if (unit != std::string::npos && unit >= runner::kSecondsWidth && line.size() > unit + 15) {
            texts.push_back(line.substr(unit + 15));
        }
    }
    std::vector<std::string> jsonTexts;
    std::getline(json, line);
    EXPECT_EQ(nlohmann::json::parse(line).at("event"), "scenario");
    while (std::getline(json, line)) {
        const auto object = nlohmann::json::parse(line);
        EXPECT_TRUE(object.at("time").is_number_integer());
        if (object.at("event") == "end") {
            EXPECT_TRUE(object.at("exitCode").is_number_integer());
            EXPECT_FALSE(std::getline(json, line)) << "the end comes last";
            break;
        }
        jsonTexts.push_back(object.at("text").get<std::string>());
    }
    EXPECT_EQ(texts, jsonTexts);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioFile, testing::ValuesIn(ScenarioNames()), TestName);

// The built-in default, in virtual time with its hooks recorded so that it is deterministic.
TEST(DefaultScenario, PrintsTheWholeSendReceive)
{
    runner::Scenario scenario = runner::DefaultScenario();
    EXPECT_TRUE(scenario.realTime);
    EXPECT_TRUE(scenario.startHooks);
    scenario.realTime = false;
    scenario.startHooks = false;
    ExpectTimeline("default", RunAndPrint(scenario));
}

// Failures swept over the calls of a run whose first account store doesn't open: an
// inspection is told as failed only where the program gave up (exit code 2, nothing asked of
// the phone or started after it), never where it got through to an answer.
TEST(ScenarioFiles, AnInspectionIsToldAsFailedOnlyWhereTheProgramGaveUp)
{
    const auto base =
        runner::LoadScenario((ScenarioFolder() / "timeline-first-store-does-not-open.json").string());
    for (const auto& call : runner::InjectableCalls()) {
        for (int nth = 1; nth <= 9; ++nth) {
            runner::Scenario scenario = base;
            scenario.failures.push_back({call, nth});
            std::ostringstream out;
            const int code = runner::RunScenario(scenario, runner::RunOptions{true, false}, out);
            std::istringstream lines(out.str());
            std::string line;
            bool failed = false;
            while (std::getline(lines, line)) {
                const auto step = nlohmann::json::parse(line);
                const std::string event = step.value("event", "");
                const std::string text = step.value("text", "");
                if (failed && (event == "request" || event == "poll" ||
                               (event == "hook" && !text.starts_with("starts no")))) {
                    ADD_FAILURE() << call << " nth " << nth
                                  << ": the run went on after a failed inspection: " << text;
                }
                failed = failed || (event == "inspection" && text.starts_with("the Outbox inspection fails"));
            }
            if (failed) {
                EXPECT_EQ(code, 2) << call << " nth " << nth << " exits with " << code << "\n" << out.str();
            }
        }
    }
}

// docs/scenarios.md shows diagrams of some runs, each after a line "<!-- diagram: name -->"
// naming its scenario ("default" for the built-in one in virtual time, hooks recorded); each
// must be what quillet-sim --diagram prints for it. Updating writes them in place.
TEST(ScenarioFiles, TheDocsShowTheDiagramsTheToolPrints)
{
    const fs::path path = ScenarioFolder().parent_path() / "docs" / "scenarios.md";
    std::istringstream docs(ReadAll(path));
    const std::string marker = "<!-- diagram: ";
    std::string line;
    std::string updated;
    int shown = 0;
    while (std::getline(docs, line)) {
        updated += line + "\n";
        if (!line.starts_with(marker)) {
            continue;
        }
        const std::string name = line.substr(marker.size(), line.find(" -->") - marker.size());
        std::getline(docs, line);
        ASSERT_EQ(line, "```mermaid") << name;
        std::string diagram;
        while (std::getline(docs, line) && line != "```") {
            diagram += line + "\n";
        }
        runner::Scenario scenario =
            name == "default" ? runner::DefaultScenario()
                              : runner::LoadScenario((ScenarioFolder() / (name + ".json")).string());
        scenario.realTime = false;
        scenario.startHooks = false;
        runner::RunOptions options;
        options.diagram = true;
        std::ostringstream out;
        runner::RunScenario(scenario, options, out);
        EXPECT_TRUE(Updating() || diagram == out.str())
            << "the diagram of " << name << " in docs/scenarios.md:\n"
            << diagram << "\nbut the tool prints:\n"
            << out.str();
        updated += "```mermaid\n" + out.str() + "```\n";
        ++shown;
    }
    EXPECT_EQ(shown, 5) << "the default run, the menu's Outbox entry, mail left after the exchange, a second "
                           "copy and a run stopped at its time limit";
    if (Updating()) {
        std::ofstream(path, std::ios::binary) << updated;
    }
}

TEST(ScenarioFiles, EachHasAnExpectedTimelineAndADescription)
{
    for (const auto& name : ScenarioNames()) {
        EXPECT_TRUE(fs::exists(ScenarioFolder() / (name + ".timeline"))) << name;
        EXPECT_FALSE(runner::LoadScenario((ScenarioFolder() / (name + ".json")).string()).description.empty())
            << name;
    }
    for (const auto& entry : fs::directory_iterator(ScenarioFolder())) {
        if (entry.path().extension() == ".timeline" && entry.path().stem() != "default") {
            EXPECT_TRUE(fs::exists(fs::path(entry.path()).replace_extension(".json")))
                << entry.path() << " belongs to no scenario";
        }
    }
}

}  // namespace
