// One run of Quillet on the simulated phone, and the command line of quillet-sim.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sim/runner/scenario.h"

namespace runner {

struct RunOptions {
    bool json = false;     // one JSON object per line instead of text
    bool verbose = false;  // every platform call and action as well
    bool diagram = false;  // the whole run as one Mermaid sequence diagram instead
};

// The runner's own exit codes, apart from the program's 0, 1 and 2.
constexpr int kExitUsage = 64;        // the command line is wrong
constexpr int kExitBadScenario = 65;  // the scenario is not JSON or not a valid scenario
constexpr int kExitNoScenario = 66;   // the scenario file can't be read
constexpr int kExitCrashed = 70;      // the program failed in a way it has no exit code for
constexpr int kExitTimeLimit = 124;   // the run passed its time limit; the program never exited
constexpr int kExitSignal = 128;      // plus the signal's number: the run was interrupted

// Sets the phone up, runs WinMain with the scenario's command line, prints the timeline to out
// and answers the program's exit code (or kExitTimeLimit, kExitCrashed).
int RunScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out);

// quillet-sim's main: [--json | --diagram] [--verbose] [--virtual-time] [--record-hooks]
// [scenario.json], or --print-default alone.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace runner
