// A run's timeline as a Mermaid sequence diagram, which GitHub and GitLab draw in Markdown:
// the user at the menu, the program, Messaging, the message store, the phone's software and
// each hook program side by side, one arrow or note per step, failures drawn as failures.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sim/runner/timeline.h"

namespace runner {

class Diagram {
public:
    void Add(const Line& line) { lines_.push_back(line); }
    // The whole diagram; description (if any) goes first as a comment.
    void Print(std::ostream& out, const std::string& description) const;

private:
    std::vector<Line> lines_;
};

}  // namespace runner
