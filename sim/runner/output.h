// Printing a run: the scenario's heading, then each step of the timeline as a text line or
// as one JSON object per line.
#pragma once

#include <iosfwd>
#include <string>

#include "sim/phone.h"
#include "sim/runner/diagram.h"
#include "sim/runner/run.h"
#include "sim/runner/scenario.h"
#include "sim/runner/timeline.h"

namespace runner {

// The time column's width, in characters before " s", for runs shorter than 1000 s.
constexpr int kSecondsWidth = 7;

class Output {
public:
    Output(std::ostream& out, const RunOptions& options, std::string folder);

    void Scenario(const runner::Scenario& scenario);
    void Print(const Line& line);
    // A platform call or action as the phone recorded it; printed with --verbose only.
    void Raw(const sim::TraceEvent& event);
    // The runner's exit code, as a last JSON object; the text output's last line says it.
    void End(sim::Millis time, int code);
    // After the last step: the diagram, when one was asked for.
    void Finish();

private:
    std::ostream& out_;
    RunOptions options_;
    std::string folder_;
    int secondsWidth_ = kSecondsWidth;  // wide enough for every time up to the run's limit
    std::string description_;
    Diagram diagram_;
};

// "  2.500 s" for 2500 ms: right-aligned in width characters before the unit.
std::string Seconds(sim::Millis time, int width = kSecondsWidth);

}  // namespace runner
