#include "sim/runner/diagram.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/runner/output.h"

namespace runner {

namespace {

// The second copy's column lives from its start to its exit only.
constexpr std::string_view kSecondCopy = "2nd copy";

// A line of an arrow or a note holds about this many characters: the page scales a wider
// drawing down until its text can't be read.
constexpr std::size_t kLineWidth = 28;

constexpr const char* kCross = "\xE2\x9C\x98 ";  // U+2718, a heavy ballot X

struct Participant {
    int rank = 0;  // the column, left to right
    std::string id;
    std::string label;
};

// A Mermaid id for a name that isn't one of the known parties: letters and digits as they
// are, every other byte as "_" and its hex code, so that no two names share one.
std::string IdOf(const std::string& prefix, const std::string& name)
{
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::string id = prefix;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 && byte < 0x80) {
            id += c;
        } else {
            id += {'_', kHex.at(byte >> 4U), kHex.at(byte & 0xFU)};
        }
    }
    return id;
}

// A hook's column by the entries that name its program ("send/after"), in the order the
// hooks can run; a program no entry names comes last.
Participant HookOf(const std::string& entries)
{
    static constexpr std::array<std::pair<std::string_view, int>, 3> kOrder = {
        {{"before", 6}, {"send", 7}, {"after", 8}}};
    int rank = 9;
    for (const auto& [entry, column] : kOrder) {
        if (entries.starts_with(entry)) {
            rank = column;
            break;
        }
    }
    return {rank, IdOf("hook_", entries), entries.empty() ? "started program" : entries + " hook"};
}

// Whoever acts or is acted on, by the name the timeline gives them.
Participant ParticipantOf(const std::string& name)
{
    static const std::map<std::string, Participant> kParties = {
        {"user", {0, "user", "the user (menu)"}},
        {"program", {1, "program", "Quillet"}},
        {"messaging", {2, "messaging", "Messaging"}},
        {"store", {4, "store", "message store"}},
        {"phone", {5, "phone", "phone's software"}},
        {"runner", {10, "runner", "quillet-sim"}},
        {std::string(kSecondCopy), {11, "second_copy", "Quillet, 2nd copy"}},
    };
    if (const auto party = kParties.find(name); party != kParties.end()) {
        return party->second;
    }
    if (name.starts_with("hook:")) {
        return HookOf(name.substr(5));
    }
    return {3, IdOf("program_", name), name};
}

// A second copy that ran comes and goes on a column of its own; one that was due but never
// started has none, and its line goes to the phone that would have started it.
bool SecondCopyRan(const Line& line)
{
    return line.actor == kSecondCopy && !line.to.empty();
}

std::string ActorOf(const Line& line)
{
    return line.actor == kSecondCopy && !SecondCopyRan(line) ? "phone" : line.actor;
}

// Mermaid reads ";" as the end of a statement, "#" as the start of an entity, "<" as the
// start of markup and "$$" as the start of mathematics: those are written as entities.
std::string Escaped(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case ';': escaped += "#59;"; break;
            case '#': escaped += "#35;"; break;
            case '<': escaped += "#lt;"; break;
            case '>': escaped += "#gt;"; break;
            case '$': escaped += "#36;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// How wide text is drawn, in Latin letters: a character of three or four UTF-8 bytes (kana,
// kanji) takes two.
std::size_t WidthOf(const std::string& text)
{
    std::size_t width = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        width += byte < 0x80 ? 1 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    }
    return width;
}

// The words of text, each with any further spaces that follow it: the runs between spaces,
// and a quoted name with the spaces in it as one where quotes is true.
std::vector<std::string> WordsOf(const std::string& text, bool quotes)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (const char c : text) {
        if (c == ' ' && !quoted && !word.empty()) {
            words.push_back(word);
            word.clear();
        } else if (c == ' ' && !quoted && !words.empty()) {
            words.back() += c;
        } else {
            quoted = quotes && quoted != (c == '"');
            word += c;
        }
    }
    words.push_back(word);
    return words;
}

// text on lines no wider than width, broken only where it has a space, so that a name, a path
// or a number is never cut; a quoted name longer than kLineWidth is broken at its own spaces.
std::vector<std::string> Wrapped(const std::string& text, std::size_t width)
{
    std::vector<std::string> lines(1);
    const auto add = [&lines, width](const std::string& word) {
        if (!lines.back().empty() && WidthOf(lines.back()) + 1 + WidthOf(word) > width) {
            lines.emplace_back();
        }
        lines.back() += (lines.back().empty() ? "" : " ") + word;
    };
    for (const std::string& word : WordsOf(text, true)) {
        if (WidthOf(word) <= kLineWidth) {
            add(word);
            continue;
        }
        for (const std::string& part : WordsOf(word, false)) {
            add(part);
        }
    }
    return lines;
}

// text on as few lines of about kLineWidth as it needs, made as even as they can be: a last
// line of one word reads as an afterthought.
std::vector<std::string> Balanced(const std::string& text)
{
    std::vector<std::string> lines = Wrapped(text, kLineWidth);
    for (std::size_t width = kLineWidth - 1; width > 0; --width) {
        std::vector<std::string> narrower = Wrapped(text, width);
        if (narrower.size() > lines.size()) {
            break;
        }
        lines = std::move(narrower);
    }
    return lines;
}

// The text of a step as Mermaid draws it: escaped, on lines of its own making.
std::string Drawn(const std::string& text)
{
    std::string drawn;
    for (const std::string& line : Balanced(text)) {
        drawn += (drawn.empty() ? "" : "<br>") + Escaped(line);
    }
    return drawn;
}

std::string Time(sim::Millis time)
{
    std::string text = Seconds(time);
    return text.substr(text.find_first_not_of(' '));
}

// The columns there from the start, left to right: everyone the lines name but a second copy.
std::vector<Participant> ColumnsOf(const std::vector<Line>& lines)
{
    std::map<std::string, Participant> used;
    for (const Line& line : lines) {
        const std::string starter = SecondCopyRan(line) ? "phone" : "";
        for (const std::string& name : {ActorOf(line), line.to, starter}) {
            if (!name.empty() && name != kSecondCopy) {
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
    return columns;
}

// One step: an arrow from who acts to what it acts on, or a note over who acts. A failure
// stands on a red band as wide as the step and is marked with a cross, to be seen on a page
// that scales the drawing down (half-transparent, so that a dark page's light text still reads).
void PrintStep(std::ostream& out, const Line& line)
{
    const std::string indent = line.failed ? "        " : "    ";
    const std::string from = ParticipantOf(ActorOf(line)).id;
    const std::string by = line.actor == kSecondCopy && !SecondCopyRan(line) ? "the 2nd copy " : "";
    const std::string step = Drawn((line.failed ? kCross : "") + Time(line.time) + " " + by + line.text);
    if (line.failed) {
        out << "    rect rgba(255, 0, 0, 0.45)\n";
    }
    if (line.to.empty()) {
        out << indent << "Note over " << from << ": " << step << "\n";
    } else {
        out << indent << from << (line.failed ? " -x " : " ->> ") << ParticipantOf(line.to).id << ": " << step
            << "\n";
    }
    if (line.failed) {
        out << "    end\n";
    }
}

// A second copy that ran: the phone starts it, and its one step ends it.
void PrintSecondCopy(std::ostream& out, const Line& line)
{
    const Participant copy = ParticipantOf(std::string(kSecondCopy));
    const std::string& id = copy.id;
    out << "    create participant " << id << " as " << Escaped(copy.label) << "\n"
        << "    phone ->> " << id << ": " << Drawn(Time(line.time) + " starts a second copy of Quillet")
        << "\n"
        << "    destroy " << id << "\n";
    PrintStep(out, line);
}

}  // namespace

void Diagram::Print(std::ostream& out, const std::string& description) const
{
    // Columns closer than Mermaid's own spacing; the text on them sets how far apart they are.
    out << "---\nconfig:\n  sequence:\n    actorMargin: 30\n    width: 100\n---\nsequenceDiagram\n";
    if (!description.empty()) {
        out << "    %% " << description << "\n";
    }
    for (const Participant& participant : ColumnsOf(lines_)) {
        out << "    participant " << participant.id << " as " << Escaped(participant.label) << "\n";
    }
    for (const Line& line : lines_) {
        if (SecondCopyRan(line)) {
            PrintSecondCopy(out, line);
        } else {
            PrintStep(out, line);
        }
    }
}

}  // namespace runner
