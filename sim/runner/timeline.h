// The timeline of a run: the simulated phone's trace of platform calls and other parties'
// actions, told as readable steps. Calls that carry no step of their own (the message loop's
// plumbing, key closes, buffer frees) are left out; groups of calls that make one step (the
// naming of the program in front, the compose-window test, the press, an Outbox inspection)
// become one line.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "sim/phone.h"

namespace runner {

struct Line {
    sim::Millis time = 0;
    std::string actor;  // "program", "user", "messaging", "phone", or another program's name
    std::string event;  // what kind of step, for machines: "lock", "poll", "hook", ...
    std::string text;   // the step, for people
    // Whom the step acts on: "user", "messaging", "store", "phone", "hook:<entry>" (or
    // "hook:" for a program no entry names), another program's name; empty for a step of the
    // actor's own.
    std::string to;
    bool failed = false;  // the step is a failure: what was tried did not happen
};

// Whom a step acts on, and whether it failed (see Line).
struct Step {
    std::string to;
    bool failed = false;
};

// The hook entries ("before", "send", "after" to their values) as the program holds them.
using HookValues = std::map<std::string, std::string>;

class Timeline {
public:
    using Sink = std::function<void(const Line&)>;
    using HookSource = std::function<HookValues()>;

    // hooks: the hook entries of the ProfileFile as the program read it (none before it was
    // read), to name each program started by its hook and to say why none was.
    // folder: the run's folder, shown as "<folder>" so that timelines don't depend on it.
    Timeline(HookSource hooks, std::string folder, Sink sink);

    void Feed(const sim::TraceEvent& event);

    // How the run ended.
    void Exited(sim::Millis time, int code);
    void Stopped(sim::Millis time, bool timeLimit);
    void Crashed(sim::Millis time, const std::string& what);
    // A second copy of the program: how it ended, or nothing when the first copy had already
    // exited and it was not started.
    void SecondCopy(sim::Millis time, std::optional<int> code);
    // A planned failure that never came to pass: its call, the call it was planned at (0: every
    // one), and how many such calls the run made.
    void FailureNotMet(sim::Millis time, const std::string& call, int nth, int made);

private:
    enum class Group { None, Naming, ComposeTest, Press, ReadProfile, WriteProfile, Inspection };

    struct Inspection {
        bool comFailed = false;
        std::vector<std::string> storeNames;  // in the order they were read, each once
        std::unordered_set<std::string> seen;
        std::optional<std::int64_t> rowCount;
        std::int64_t rows = 0;
        bool rowsEnded = false;
        int unopened = 0;
        std::string answeredBy;   // the store whose Outbox answered
        std::string lastFailure;  // the call that failed last, and its code
    };

    // One answer of the compose-window test: a class name (empty when it can't be read), or
    // whether a first child was found.
    struct ChainStep {
        enum class Kind { Class, Child } kind = Kind::Class;
        WString className;
        bool found = false;
    };

    void Emit(const std::string& actor, const std::string& event, const std::string& text, Step step = {});
    void Flush();
    bool Continues(const sim::TraceEvent& event);
    void Begin(Group group, const sim::TraceEvent& event);
    void Program(const sim::TraceEvent& event);
    void Party(const sim::TraceEvent& event);

    void Naming(const sim::TraceEvent& event);
    void EndNaming();
    void EndComposeTest();
    void Press(const sim::TraceEvent& event);
    void EndPress();
    void File(const sim::TraceEvent& event);
    void EndFile();
    void Inspect(const sim::TraceEvent& event);
    void EndInspection();

    void Mutex(const sim::TraceEvent& event);
    void Window(const sim::TraceEvent& event);
    void ModuleFileNameUnread();
    void OpenFile(const sim::TraceEvent& event);
    void Menu(const sim::TraceEvent& event);
    void Post(const sim::TraceEvent& event);
    void Registry(const sim::TraceEvent& event);
    void Poll(const sim::TraceEvent& event);
    void Launch(const sim::TraceEvent& event);
    void ExplainNoHook();
    [[nodiscard]] std::string HookName(const std::string& file, const std::string& parameters) const;
    [[nodiscard]] static std::string ProcessExe(std::int64_t id);  // empty when not listed
    [[nodiscard]] static std::string ProcessName(std::int64_t id);
    [[nodiscard]] std::string Shown(const std::string& text) const;

    HookSource hooks_;
    std::string folder_;
    Sink sink_;
    sim::Millis now_ = 0;
    bool exited_ = false;

    Group group_ = Group::None;
    sim::Handle window_;  // the control window
    bool inTick_ = false;

    // The group being gathered.
    sim::Handle front_;
    std::vector<std::int64_t> owners_;
    std::string exeName_;
    std::int64_t exeId_ = 0;
    std::vector<ChainStep> chain_;
    sim::Handle bar_;
    sim::Handle pressed_;                              // the window whose bar is pressed
    std::vector<std::pair<std::string, bool>> posts_;  // each message posted to the bar, and whether it was
    std::string path_;
    std::int64_t bytes_ = 0;
    Inspection inspection_;

    // Whether the step after an inspection started a hook, to say so when it didn't.
    enum class Awaiting { Nothing, Before, SendOrAfter };
    Awaiting awaiting_ = Awaiting::Nothing;
    bool outboxEmpty_ = false;
    // What became of the ProfileFile, for a hook that could have started and did not.
    enum class ProfileFile { NotRead, Read, ReadInPart, NoPath };
    ProfileFile profile_ = ProfileFile::NotRead;
    bool readFailed_ = false;  // a read or write of the file failed part way
    int unconverted_ = 0;      // pieces of it code page 932 could not convert
};

}  // namespace runner
