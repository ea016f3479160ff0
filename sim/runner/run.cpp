// One run: the phone set up, WinMain called as the platform would call it, and the timeline
// printed as the trace comes in.
#include "sim/runner/run.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <exception>
#include <ostream>
#include <thread>

#include "app/app_state.h"
#include "platform/process.h"
#include "sim/phone.h"
#include "sim/runner/output.h"
#include "sim/runner/setup.h"
#include "sim/runner/timeline.h"

namespace runner {

namespace {

using sim::Phone;

// Static storage of a process is zero at its start; a second run in the same process must
// begin from the same place.
void ResetProgramState()
{
    AppState::instance = nullptr;
    AppState::showMenu = 0;
    AppState::touchLeft = 0;
    AppState::profile.reset();
    AppState::runFailed = false;
}

HINSTANCE ProgramInstance()
{
    static char module = 0;
    return reinterpret_cast<HINSTANCE>(&module);
}

// The hook entries as the program read them from its ProfileFile: what it starts its hooks from.
HookValues ProgramHooks()
{
    HookValues hooks;
    if (!AppState::profile) {
        return hooks;
    }
    for (const auto& section : AppState::profile->Sections()) {
        if (section.name != WTEXT("exec")) {
            continue;
        }
        for (const auto& entry : section.entries) {
            hooks.emplace(sim::Utf8(entry.key), sim::Utf8(entry.value));
        }
    }
    return hooks;
}

// The platform hands the entry a command line it may write to.
std::vector<WCHAR> CommandLineBuffer(const std::string& commandLine)
{
    const WString text = sim::Utf16(commandLine);
    std::vector<WCHAR> buffer(text.begin(), text.end());
    buffer.push_back(0);
    return buffer;
}

// Hooks really started write as they run; give the last ones a moment so that what they
// print comes before the runner ends, not after the shell's prompt.
void LetHooksFinish(const Scenario& scenario)
{
    if (scenario.startHooks) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

// A second copy started while the first one runs. Its calls are printed under its own name with
// --verbose; the timeline tells how it ended.
void ScheduleSecondCopy(const Scenario& scenario, Timeline& timeline, Output& output, const bool& firstRuns)
{
    if (!scenario.secondCopyAt) {
        return;
    }
    Phone::Get().Schedule(*scenario.secondCopyAt, [&scenario, &timeline, &output, &firstRuns] {
        Phone& phone = Phone::Get();
        if (!firstRuns) {
            timeline.SecondCopy(phone.Now(), std::nullopt);
            return;
        }
        auto firstCopysRecord = std::move(phone.onRecord);
        phone.onRecord = [&output](const sim::TraceEvent& event) {
            sim::TraceEvent named = event;
            named.actor = "2nd copy";
            output.Raw(named);
        };
        auto commandLine = CommandLineBuffer(scenario.commandLine);
        const int code = WinMain(ProgramInstance(), nullptr, commandLine.data(), 0);
        phone.onRecord = std::move(firstCopysRecord);
        timeline.SecondCopy(phone.Now(), code);
    });
}

int CallWinMain(const Scenario& scenario, Timeline& timeline, bool& firstRuns)
{
    auto commandLine = CommandLineBuffer(scenario.commandLine);
    try {
        const int code = WinMain(ProgramInstance(), nullptr, commandLine.data(), 0);
        firstRuns = false;
        timeline.Exited(Phone::Get().Now(), code);
        // The other parties go on after the program has gone: a draft that arrives late, an
        // exchange that ends later, show what the program left behind.
        if (!Phone::Get().RunRemainingEvents()) {
            timeline.Stopped(scenario.timeLimit, true);
        }
        LetHooksFinish(scenario);
        return code;
    } catch (const sim::RunStopped& stopped) {
        if (stopped.reason == sim::RunStopped::Reason::Interrupted) {
            return kExitSignal + sim::StopSignal();
        }
        timeline.Stopped(Phone::Get().Now(), stopped.reason == sim::RunStopped::Reason::TimeLimit);
        return stopped.reason == sim::RunStopped::Reason::TimeLimit ? kExitTimeLimit : kExitCrashed;
    } catch (const std::exception& failure) {
        timeline.Crashed(Phone::Get().Now(), failure.what());
        return kExitCrashed;
    }
}

// A failure planned at a call the run never reached (or not often enough) changed nothing: say
// so, so that a run that looks clean is not taken for one that went through the failure.
void TellFailuresNotMet(const Scenario& scenario, Timeline& timeline)
{
    const Phone& phone = Phone::Get();
    for (const Failure& failure : scenario.failures) {
        const int made = phone.CallCount(failure.call);
        if (failure.nth == 0 ? made == 0 : made < failure.nth) {
            timeline.FailureNotMet(phone.Now(), failure.call, failure.nth, made);
        }
    }
}

// Ctrl-C, a kill, or a reader that went away (`| head`) stops the run where the program waits,
// so that the run's folder is removed as the run unwinds; the signal is then taken for real.
class StopOnSignals {
public:
    StopOnSignals()
    {
        struct sigaction action = {};
        action.sa_handler = sim::RequestStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
    ~StopOnSignals()
    {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &previous_[i], nullptr);
        }
        if (const int signal = sim::StopSignal(); signal != 0) {
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        }
    }

private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGPIPE};
    std::array<struct sigaction, kSignals.size()> previous_{};
};

}  // namespace

int RunScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out)
{
    ResetProgramState();
    const RunFolder folder;
    PrepareProfileFile(scenario, folder);
    SetUpPhone(scenario, folder);

    Output output(out, options, folder.Path().string());
    output.Scenario(scenario);
    Timeline timeline(ProgramHooks, folder.Path().string(),
                      [&output](const Line& line) { output.Print(line); });
    Phone::Get().onRecord = [&](const sim::TraceEvent& event) {
        output.Raw(event);
        timeline.Feed(event);
    };
    Phone::Get().keepTrace = false;
    bool firstRuns = true;
    ScheduleSecondCopy(scenario, timeline, output, firstRuns);
    const int code = CallWinMain(scenario, timeline, firstRuns);
    if (sim::StopSignal() == 0) {
        TellFailuresNotMet(scenario, timeline);
    }
    Phone::Get().onRecord = nullptr;
    Phone::Get().keepTrace = true;
    output.Finish();
    if (sim::StopSignal() == 0) {
        output.End(Phone::Get().Now(), code);
    }
    return code;
}

namespace {

constexpr const char* kHelpFooter =
    "Exit codes: 0, 1 and 2 are Quillet's own; 64 the command line is wrong; 65 the scenario is not\n"
    "valid; 66 the scenario file can't be read; 70 the program ended in a way it has no code for;\n"
    "124 the run reached its time limit; 128 + n the run was stopped by signal n.\n"
    "The scenario's fields, the output and every exit code: docs/scenarios.md";

// The parser's message, as quillet-sim's other messages are given; --help is printed as asked.
int RefuseCommandLine(const CLI::App& app, const CLI::ParseError& error, std::ostream& out, std::ostream& err)
{
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        app.exit(error, out, err);
        return 0;
    }
    err << "quillet-sim: " << error.what() << "\nquillet-sim: run quillet-sim --help for the options\n";
    return kExitUsage;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    CLI::App app("Runs Quillet on a simulated phone and prints what happened, step by step.", "quillet-sim");
    app.footer(kHelpFooter);
    RunOptions options;
    bool virtualTime = false;
    bool recordHooks = false;
    bool printDefault = false;
    std::string path;
    auto* json = app.add_flag("--json", options.json, "print one JSON object per line");
    auto* diagram = app.add_flag("--diagram", options.diagram, "print the run as a Mermaid sequence diagram")
                        ->excludes(json);
    auto* verbose =
        app.add_flag("--verbose", options.verbose, "print every platform call as well")->excludes(diagram);
    auto* virtualOption =
        app.add_flag("--virtual-time", virtualTime, "run in virtual time, whatever the scenario says");
    auto* recordOption =
        app.add_flag("--record-hooks", recordHooks, "only record the hooks, whatever the scenario says");
    auto* scenarioOption =
        app.add_option("scenario", path, "a scenario file (JSON); without one, the built-in default runs");
    app.add_flag("--print-default", printDefault, "print the built-in default scenario and exit; alone")
        ->excludes(json)
        ->excludes(diagram)
        ->excludes(verbose)
        ->excludes(virtualOption)
        ->excludes(recordOption)
        ->excludes(scenarioOption);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return RefuseCommandLine(app, error, out, err);
    }
    if (printDefault) {
        out << DefaultScenarioText();
        return 0;
    }
    if (scenarioOption->count() > 0 && path.empty()) {
        err << "quillet-sim: the scenario's path is empty; give a file, or nothing for the built-in "
               "default\n";
        return kExitUsage;
    }
    Scenario scenario;
    try {
        scenario = scenarioOption->count() == 0 ? DefaultScenario() : LoadScenario(path);
    } catch (const ScenarioFileError& error) {
        err << "quillet-sim: " << error.what() << "\n";
        return kExitNoScenario;
    } catch (const ScenarioError& error) {
        err << "quillet-sim: " << error.what() << "\n";
        return kExitBadScenario;
    }
    scenario.realTime = scenario.realTime && !virtualTime;
    scenario.startHooks = scenario.startHooks && !recordHooks;
    const StopOnSignals stopOnSignals;
    return RunScenario(scenario, options, out);
}

}  // namespace runner
