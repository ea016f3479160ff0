#include "sim/runner/output.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace runner {

namespace {

constexpr std::size_t kActorWidth = 11;

std::string Padded(const std::string& actor)
{
    return actor.size() >= kActorWidth ? actor + " " : actor + std::string(kActorWidth - actor.size(), ' ');
}

std::string WithoutFolder(std::string text, const std::string& folder)
{
    for (auto at = text.find(folder); !folder.empty() && at != std::string::npos;
         at = text.find(folder, at)) {
        text.replace(at, folder.size(), "<folder>");
    }
    return text;
}

}  // namespace

std::string Seconds(sim::Millis time, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%*.3f s", width, static_cast<double>(time) / 1000.0);
    return text;
}

Output::Output(std::ostream& out, const RunOptions& options, std::string folder)
    : out_(out), options_(options), folder_(std::move(folder))
{
}

void Output::Scenario(const runner::Scenario& scenario)
{
    const std::string time = scenario.realTime ? "real" : "virtual";
    const std::string hooks = scenario.startHooks ? "started" : "recorded";
    // A stop at the limit may come a moment past it in real time: a second more keeps the column.
    const std::string longest = std::to_string(scenario.timeLimit / 1000 + 1);
    secondsWidth_ = std::max(kSecondsWidth, static_cast<int>(longest.size()) + 4);
    if (options_.diagram) {
        description_ = sim::Printable(scenario.description);
        return;
    }
    if (options_.json) {
        nlohmann::json heading = {{"event", "scenario"},
                                  {"description", scenario.description},
                                  {"commandLine", scenario.commandLine},
                                  {"time", time},
                                  {"hooks", hooks}};
        out_ << heading.dump() << std::endl;
        return;
    }
    if (!scenario.description.empty()) {
        out_ << sim::Printable(scenario.description) << "\n";
    }
    out_ << "quillet.exe " << sim::Printable(scenario.commandLine)
         << (scenario.commandLine.empty() ? "" : " ") << "(" << time << " time, hooks " << hooks << ")\n"
         << std::endl;
}

void Output::Print(const Line& line)
{
    if (options_.diagram) {
        diagram_.Add(line);
        return;
    }
    if (options_.json) {
        const nlohmann::json object = {
            {"time", line.time}, {"actor", line.actor}, {"event", line.event}, {"text", line.text}};
        out_ << object.dump() << std::endl;
        return;
    }
    out_ << Seconds(line.time, secondsWidth_) << "  " << Padded(line.actor) << line.text << std::endl;
}

void Output::Finish()
{
    if (options_.diagram) {
        diagram_.Print(out_, description_);
    }
}

void Output::Raw(const sim::TraceEvent& event)
{
    if (!options_.verbose || options_.diagram) {
        return;
    }
    const std::string detail = WithoutFolder(event.Detail(), folder_);
    if (options_.json) {
        const nlohmann::json object = {{"time", event.time},
                                       {"actor", event.actor},
                                       {"event", "call"},
                                       {"call", event.what},
                                       {"detail", detail}};
        out_ << object.dump() << std::endl;
        return;
    }
    out_ << Seconds(event.time, secondsWidth_) << "  " << Padded(event.actor) << "  . " << event.what
         << (detail.empty() ? "" : " " + detail) << std::endl;
}

void Output::End(sim::Millis time, int code)
{
    if (options_.json) {
        const nlohmann::json object = {{"time", time}, {"event", "end"}, {"exitCode", code}};
        out_ << object.dump() << std::endl;
    }
}

}  // namespace runner
