#include "sim/runner/diagram.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "sim/runner/output.h"

namespace runner {

namespace {

struct Participant {
    int rank = 0;  // the column, left to right
    std::string id;
    std::string label;
};

// Whoever acts or is acted on, by the name the timeline gives them.
Participant ParticipantOf(const std::string& name)
{
    if (name == "user") {
        return {0, "user", "the user (menu)"};
    }
    if (name == "program" || name == "runner") {
        return {1, "program", "Quillet"};
    }
    if (name == "messaging") {
        return {2, "messaging", "Messaging"};
    }
    if (name == "store") {
        return {4, "store", "message store"};
    }
    if (name == "phone") {
        return {5, "phone", "phone's software"};
    }
    std::string id;
    for (const char c : name) {
        id += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    if (name.starts_with("hook:")) {
        const std::string entry = name.substr(5);
        return {6, id, entry.empty() ? "started program" : entry + " hook"};
    }
    return {3, "program_" + id, name};
}

// Mermaid reads ";" as the end of a statement, "#" as the start of an entity and "<" as the
// start of markup: those are written as entities.
std::string Escaped(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case ';': escaped += "#59;"; break;
            case '#': escaped += "#35;"; break;
            case '<': escaped += "#lt;"; break;
            case '>': escaped += "#gt;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string Time(sim::Millis time)
{
    std::string text = Seconds(time);
    return text.substr(text.find_first_not_of(' '));
}

}  // namespace

void Diagram::Print(std::ostream& out, const std::string& description) const
{
    std::map<std::string, Participant> used;
    for (const Line& line : lines_) {
        for (const std::string& name : {line.actor, line.to}) {
            if (!name.empty()) {
                const Participant participant = ParticipantOf(name);
                used.emplace(participant.id, participant);
            }
        }
    }
    std::vector<Participant> columns;
    columns.reserve(used.size());
    for (const auto& entry : used) {
        columns.push_back(entry.second);
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [](const Participant& a, const Participant& b) { return a.rank < b.rank; });

    out << "sequenceDiagram\n";
    if (!description.empty()) {
        out << "    %% " << description << "\n";
    }
    for (const Participant& participant : columns) {
        out << "    participant " << participant.id << " as " << Escaped(participant.label) << "\n";
    }
    for (const Line& line : lines_) {
        const std::string from = ParticipantOf(line.actor).id;
        const std::string step =
            Escaped(Time(line.time) + " " + (line.actor == "runner" ? "the runner " : "") + line.text);
        const std::string indent = line.failed ? "        " : "    ";
        if (line.failed) {
            out << "    rect rgb(255, 228, 225)\n";
        }
        if (line.to.empty()) {
            out << indent << "Note over " << from << ": " << step << "\n";
        } else {
            out << indent << from << (line.failed ? " -x " : " ->> ") << ParticipantOf(line.to).id << ": "
                << step << "\n";
        }
        if (line.failed) {
            out << "    end\n";
        }
    }
}

}  // namespace runner
