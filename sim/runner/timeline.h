// The timeline of a run: the simulated phone's trace of platform calls and other parties'
// actions, told as readable steps. Calls that carry no step of their own (the message loop's
// plumbing, key closes, buffer frees) are left out; groups of calls that make one step (the
// naming of the program in front, the compose-window test, the press, an Outbox inspection)
// become one line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/phone.h"
#include "sim/runner/setup.h"

namespace runner {

struct Line {
    sim::Millis time = 0;
    std::string actor;  // "program", "user", "messaging", "phone", or another program's name
    std::string event;  // what kind of step, for machines: "lock", "poll", "hook", ...
    std::string text;   // the step, for people
};

class Timeline {
public:
    using Sink = std::function<void(const Line&)>;

    // hooks: the ProfileFile's hook entries, to name each program started by its hook.
    // folder: the run's folder, shown as "<folder>" so that timelines don't depend on it.
    Timeline(HookValues hooks, std::string folder, Sink sink);

    void Feed(const sim::TraceEvent& event);

    // How the run ended.
    void Exited(sim::Millis time, int code);
    void Stopped(sim::Millis time, bool timeLimit);
    void Crashed(sim::Millis time, const std::string& what);

private:
    enum class Group { None, Naming, ComposeTest, Press, ReadProfile, WriteProfile, Inspection };

    struct Inspection {
        bool comFailed = false;
        std::vector<std::string> storeNames;
        std::optional<unsigned long> rowCount;
        unsigned long rows = 0;
        bool rowsEnded = false;
        int unopened = 0;
        std::string firstFailure;
    };

    void Emit(const std::string& actor, const std::string& event, const std::string& text);
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
    void Inspect(const sim::TraceEvent& event);
    void EndInspection();

    void Mutex(const std::string& detail);
    void OpenFile(const std::string& detail);
    void Menu(const std::string& detail);
    void Post(const std::string& detail);
    void Registry(const std::string& what, const std::string& detail);
    void Launch(const std::string& detail);
    void ExplainNoHook();
    [[nodiscard]] std::string HookName(const std::string& file, const std::string& parameters) const;
    [[nodiscard]] static std::string ProcessName(unsigned long id);
    [[nodiscard]] std::string Shown(const std::string& text) const;

    HookValues hooks_;
    std::string folder_;
    Sink sink_;
    sim::Millis now_ = 0;

    Group group_ = Group::None;
    std::string window_;  // the control window's handle, as the trace shows it
    bool inTick_ = false;

    // The group being gathered.
    std::string front_;
    std::vector<unsigned long> owners_;
    std::string exeName_;
    unsigned long exeId_ = 0;
    std::vector<std::string> chain_;
    std::string bar_;
    int posts_ = 0;
    std::string path_;
    long bytes_ = 0;
    Inspection inspection_;

    // Whether the step after an inspection started a hook, to say so when it didn't.
    enum class Awaiting { Nothing, Before, SendOrAfter };
    Awaiting awaiting_ = Awaiting::Nothing;
    bool outboxEmpty_ = false;
    bool profileRead_ = false;
};

}  // namespace runner
