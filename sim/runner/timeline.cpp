// Reading the trace back as the steps of a run. Each platform call's detail is the text the
// simulated phone recorded for it; the patterns below follow those texts.
#include "sim/runner/timeline.h"

#include <algorithm>
#include <array>
#include <regex>

#include "sim/toolhelp.h"

namespace runner {

namespace {

const std::string kAccountPrefix = "070";

// The part after the last "-> ": a call's result as the trace shows it.
std::string ResultOf(const std::string& detail)
{
    const auto at = detail.rfind("-> ");
    return at == std::string::npos ? std::string() : detail.substr(at + 3);
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

unsigned long Number(const std::string& text)
{
    return std::strtoul(text.c_str(), nullptr, 0);
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Plural(unsigned long count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// An HRESULT that the trace shows, when it is a failure (negative).
bool IsFailure(const std::string& detail, std::string& code)
{
    static const std::regex result(R"re(-> (0x[0-9A-F]{8}))re");
    std::smatch match;
    if (!std::regex_search(detail, match, result)) {
        return false;
    }
    code = match[1];
    return Number(code) >= 0x80000000UL;
}

bool IsMessageStoreCall(const std::string& what)
{
    static const std::array<std::string, 9> prefixes = {"Co",           "MAPI",      "IMAPI",
                                                        "IMsgStore",    "IUnknown",  "HrGetOneProp",
                                                        "HrSetOneProp", "FreeProws", "FileTimeToSystemTime"};
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string& prefix) { return what.starts_with(prefix); });
}

std::string FileError(unsigned long error)
{
    switch (error) {
        case 2: return "there is no such file";
        case 3: return "there is no such folder";
        case 5: return "access is denied";
        case 32: return "another program has it locked";
        case 80: return "the file exists";
        default: return "error " + std::to_string(error);
    }
}

// A hook entry split as the launcher splits it: program, then parameters after the first "|".
std::pair<std::string, std::string> SplitHook(const std::string& value)
{
    const auto bar = value.find('|');
    if (bar == std::string::npos) {
        return {value, ""};
    }
    return {value.substr(0, bar), value.substr(bar + 1)};
}

}  // namespace

Timeline::Timeline(HookValues hooks, std::string folder, Sink sink)
    : hooks_(std::move(hooks)), folder_(std::move(folder)), sink_(std::move(sink))
{
}

void Timeline::Emit(const std::string& actor, const std::string& event, const std::string& text)
{
    sink_(Line{now_, actor, event, Shown(text)});
}

std::string Timeline::Shown(const std::string& text) const
{
    std::string shown = text;
    for (auto at = shown.find(folder_); !folder_.empty() && at != std::string::npos;
         at = shown.find(folder_, at)) {
        shown.replace(at, folder_.size(), "<folder>");
    }
    return shown;
}

void Timeline::Feed(const sim::TraceEvent& event)
{
    now_ = event.time;
    if (group_ != Group::None && event.actor == "program" && Continues(event)) {
        return;
    }
    Flush();
    if (event.actor == "program") {
        Program(event);
    } else {
        Party(event);
    }
}

bool Timeline::Continues(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    switch (group_) {
        case Group::Naming:
            if (what == "GetWindowThreadProcessId" || what == "CreateToolhelp32Snapshot" ||
                what.starts_with("Process32") || what == "CloseHandle") {
                Naming(event);
                return true;
            }
            return false;
        case Group::ComposeTest:
            if (what == "GetClassNameW") {
                const std::string result = ResultOf(event.detail);
                chain_.push_back(result == "0" ? "(unreadable)" : result);
                return true;
            }
            if (what == "GetWindow") {
                chain_.emplace_back(ResultOf(event.detail) == "0" ? "no child" : "a child");
                return true;
            }
            return false;
        case Group::Press:
            if (what == "GetWindowThreadProcessId" ||
                (what == "PostMessageW" && event.detail.starts_with(bar_ + " "))) {
                Press(event);
                return true;
            }
            return false;
        case Group::ReadProfile:
        case Group::WriteProfile:
            if (what == "ReadFile" || what == "WriteFile" || what == "CloseHandle") {
                File(event);
                return true;
            }
            return false;
        case Group::Inspection:
            if (IsMessageStoreCall(what)) {
                Inspect(event);
                return true;
            }
            return false;
        case Group::None: return false;
    }
    return false;
}

void Timeline::Flush()
{
    switch (group_) {
        case Group::Naming: EndNaming(); break;
        case Group::ComposeTest: EndComposeTest(); break;
        case Group::Press: EndPress(); break;
        case Group::ReadProfile:
        case Group::WriteProfile: File(sim::TraceEvent{now_, "program", "CloseHandle", ""}); break;
        case Group::Inspection: EndInspection(); break;
        case Group::None: break;
    }
    group_ = Group::None;
}

void Timeline::Begin(Group group, const sim::TraceEvent& event)
{
    group_ = group;
    owners_.clear();
    chain_.clear();
    posts_ = 0;
    bytes_ = 0;
    exeName_.clear();
    exeId_ = 0;
    inspection_ = Inspection{};
    if (group == Group::ComposeTest || group == Group::Inspection) {
        Continues(event);
    }
}

void Timeline::Program(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    const std::string& detail = event.detail;
    const std::string result = ResultOf(detail);
    if (what == "CreateMutexW") {
        Mutex(detail);
    } else if (what == "CreateFileW") {
        OpenFile(detail);
    } else if (what == "RegisterClassW" && result == "0") {
        Emit("program", "window", "can't register its window class");
    } else if (what == "CreateWindowExW") {
        if (result == "null") {
            Emit("program", "window", "can't create its hidden window");
        } else {
            window_ = result.substr(0, result.find(' '));
        }
    } else if (what == "GetMessageW") {
        inTick_ = detail == "WM_TIMER";
        if (result == "-1") {
            Emit("program", "loop", "can't take the next message: GetMessageW fails");
        }
    } else if (what == "GetForegroundWindow") {
        Begin(Group::Naming, event);
        front_ = result;
    } else if (what == "GetClassNameW") {
        Begin(Group::ComposeTest, event);
    } else if (what == "FindWindowW") {
        if (result == "0") {
            Emit("program", "press", "presses nothing: there is no soft-key bar");
        } else {
            Begin(Group::Press, event);
            bar_ = result;
        }
    } else if (what == "CreatePopupMenu" && result == "0") {
        Emit("program", "menu", "can't create the send-choice menu");
    } else if (what == "AppendMenuW" && result == "0") {
        Emit("program", "menu", "can't add an entry to the send-choice menu");
    } else if (what == "TrackPopupMenuEx") {
        Menu(detail);
    } else if (what == "PostMessageW") {
        Post(detail);
    } else if (what.starts_with("Reg") || what == "SetTimer") {
        Registry(what, detail);
    } else if (what == "ShellExecuteExW") {
        Launch(detail);
    } else if (IsMessageStoreCall(what)) {
        Begin(Group::Inspection, event);
    }
}

void Timeline::Party(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    const std::string& detail = event.detail;
    if (what == "left soft key") {
        Emit(event.actor, "draft", "the left soft key: " + detail);
    } else if (what == "draft moved to Outbox") {
        Emit(event.actor, "draft", "the draft reaches the Outbox");
    } else if (what == "draft lost") {
        Emit(event.actor, "draft", "the draft is lost: " + detail);
    } else if (what == "send/receive starts") {
        Emit(event.actor, "exchange", "send/receive starts, " + detail);
    } else if (what == "send/receive over") {
        Emit(event.actor, "exchange", "send/receive over: " + detail);
    } else if (what == "Outbox sent") {
        Emit(event.actor, "exchange", "sends " + detail + " from the Outbox");
    } else if (what == "mail left in the Outbox") {
        Emit(event.actor, "exchange", "leaves " + detail + " in the Outbox");
    } else if (what == "left soft key clicked") {
        Emit(event.actor, "click", "its left soft key is clicked");
    } else {
        Emit(event.actor, "action", detail.empty() ? what : what + ": " + detail);
    }
}

void Timeline::Mutex(const std::string& detail)
{
    if (EndsWith(detail, "-> created")) {
        Emit("program", "lock", "takes the single-instance lock");
    } else if (detail.find("already exists") != std::string::npos) {
        Emit("program", "lock", "finds the single-instance lock taken: another copy is running");
    } else {
        Emit("program", "lock", "can't create the single-instance lock (" + ResultOf(detail) + "); runs on");
    }
}

void Timeline::Naming(const sim::TraceEvent& event)
{
    const std::string result = ResultOf(event.detail);
    if (event.what == "GetWindowThreadProcessId") {
        owners_.push_back(Number(result));
    } else if (event.what == "CreateToolhelp32Snapshot" && result == "INVALID_HANDLE_VALUE") {
        group_ = Group::None;
        Emit("program", "front",
             "can't read the process list: takes the window in front (" + front_ +
                 ") for the Messaging program's");
    } else if (event.what.starts_with("Process32") && exeName_.empty()) {
        static const std::regex entry(R"re(^(\d+) "(.*)"$)re");
        std::smatch match;
        if (std::regex_match(result, match, entry) && !owners_.empty() &&
            Number(match[1]) == owners_.front()) {
            exeId_ = Number(match[1]);
            exeName_ = match[2];
        }
    } else if (event.what == "CloseHandle") {
        EndNaming();
        group_ = Group::None;
    }
}

void Timeline::EndNaming()
{
    if (group_ != Group::Naming) {
        return;
    }
    group_ = Group::None;
    if (front_ == "0") {
        Emit("program", "front", "finds no window in front");
    } else if (exeName_.empty()) {
        Emit("program", "front", "the window in front (" + front_ + ") belongs to no listed process");
    } else {
        Emit("program", "front",
             "the program in front is " + Quoted(exeName_) + " (window " + front_ + ", process " +
                 std::to_string(exeId_) + ")");
    }
}

void Timeline::EndComposeTest()
{
    static const std::vector<std::string> composeChain = {"\"Dialog\"", "a child",     "\"Worker\"",
                                                          "a child",    "\"PIEHTML\"", "a child"};
    std::string shown;
    for (std::size_t i = 0; i < chain_.size(); ++i) {
        // A child found along the way shows as its class; only the last one stands alone.
        if (chain_[i] == "a child" && i + 1 < chain_.size()) {
            continue;
        }
        shown += (shown.empty() ? "" : " > ") + chain_[i];
    }
    const bool compose = chain_ == composeChain;
    Emit("program", "compose-test",
         "compose-window test: " + shown + (compose ? ": the compose window" : ": not the compose window"));
}

void Timeline::Press(const sim::TraceEvent& event)
{
    if (event.what == "GetWindowThreadProcessId") {
        owners_.push_back(Number(ResultOf(event.detail)));
        return;
    }
    ++posts_;
    if (event.detail.find("WM_LBUTTONUP") != std::string::npos) {
        EndPress();
        group_ = Group::None;
    }
}

void Timeline::EndPress()
{
    if (group_ != Group::Press) {
        return;
    }
    group_ = Group::None;
    const unsigned long barOwner = owners_.size() > 1 ? owners_[1] : 0;
    if (posts_ > 0) {
        Emit("program", "press",
             "presses the left soft key of " + ProcessName(barOwner) + "'s soft-key bar (" + bar_ + ")");
        return;
    }
    const unsigned long windowOwner = owners_.empty() ? 0 : owners_[0];
    Emit("program", "press",
         "presses nothing: the soft-key bar is " + ProcessName(barOwner) + "'s, the window " +
             ProcessName(windowOwner) + "'s");
}

std::string Timeline::ProcessName(unsigned long id)
{
    const auto& entries = sim::Processes().entries;
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [id](const sim::ProcessEntry& entry) { return entry.id == id; });
    return found == entries.end() ? "process " + std::to_string(id) : Quoted(sim::Utf8(found->exeFile));
}

void Timeline::OpenFile(const std::string& detail)
{
    static const std::regex open(R"re(^"(.*)" (read|write) (existing|create-new) -> (.*)$)re");
    std::smatch match;
    if (!std::regex_match(detail, match, open)) {
        return;
    }
    path_ = match[1];
    const bool reading = match[2] == "read";
    const std::string outcome = match[4];
    if (outcome == "opened") {
        group_ = reading ? Group::ReadProfile : Group::WriteProfile;
        bytes_ = 0;
        return;
    }
    const unsigned long error = Number(outcome.substr(outcome.rfind(' ') + 1));
    if (reading) {
        Emit("program", "profile", "can't read the ProfileFile " + path_ + ": " + FileError(error));
    } else if (error == 80) {
        Emit("program", "profile", "leaves " + path_ + " as it is: " + FileError(error));
    } else {
        Emit("program", "profile", "can't write the default ProfileFile " + path_ + ": " + FileError(error));
    }
}

void Timeline::File(const sim::TraceEvent& event)
{
    if (event.what != "CloseHandle") {
        if (EndsWith(event.detail, " bytes")) {
            bytes_ += std::strtol(event.detail.c_str(), nullptr, 10);
        } else {
            bytes_ = -1;
        }
        return;
    }
    const bool reading = group_ == Group::ReadProfile;
    group_ = Group::None;
    profileRead_ = profileRead_ || (reading && bytes_ >= 0);
    const std::string size =
        bytes_ < 0 ? "fails part way" : Plural(static_cast<unsigned long>(bytes_), "byte");
    Emit("program", "profile",
         (reading ? "reads the ProfileFile " : "writes the default ProfileFile ") + path_ + ": " + size);
}

void Timeline::Menu(const std::string& detail)
{
    static const std::regex shown(R"re(at (-?\d+),(-?\d+) .*items \[(.*)\] -> (\d+)$)re");
    std::smatch match;
    if (!std::regex_search(detail, match, shown)) {
        Emit("program", "menu", "can't show the send-choice menu");
        return;
    }
    static const std::regex item(R"re((\d+) "([^"]*)")re");
    const std::string items = match[3];
    const std::string chosen = match[4];
    std::string entries;
    std::string picked;
    for (auto it = std::sregex_iterator(items.begin(), items.end(), item); it != std::sregex_iterator();
         ++it) {
        entries += (entries.empty() ? "" : ", ") + Quoted((*it)[2]);
        if ((*it)[1] == chosen) {
            picked = Quoted((*it)[2]);
        }
    }
    Emit("program", "menu",
         "shows the send-choice menu at " + match[1].str() + "," + match[2].str() + ": " + entries);
    Emit("user", "choice", picked.empty() ? "dismisses the menu" : "picks " + picked);
}

void Timeline::Post(const std::string& detail)
{
    if (detail.find(" WM_CLOSE ") == std::string::npos || !detail.starts_with(window_ + " ")) {
        return;
    }
    if (awaiting_ == Awaiting::SendOrAfter) {
        ExplainNoHook();
    }
    awaiting_ = Awaiting::Nothing;
    Emit("program", "close",
         EndsWith(detail, "-> failed") ? "can't post the close request to its window" : "closes its window");
}

void Timeline::Registry(const std::string& what, const std::string& detail)
{
    const std::string result = ResultOf(detail);
    if (what == "RegOpenKeyExW") {
        if (!inTick_ && awaiting_ == Awaiting::Before) {
            ExplainNoHook();
        }
        if (result == "0") {
            return;
        }
        const std::string why = FileError(Number(result));
        Emit("program", inTick_ ? "poll" : "request",
             inTick_ ? "polls Status15: the key can't be opened (" + why + "): counts as over"
                     : R"(can't open HKCU\Software\Sharp\PhoneStatus ()" + why + "): writes nothing");
    } else if (what == "RegSetValueExW") {
        static const std::regex written(R"re(^(\S+) = (.*) -> )re");
        std::smatch match;
        if (std::regex_search(detail, match, written)) {
            Emit("program", "request",
                 "writes " + match[1].str() + " = " + match[2].str() + ": asks the phone for a send/receive");
        }
    } else if (what == "RegQueryValueExW") {
        if (result == "missing") {
            Emit("program", "poll", "polls Status15: gone, the exchange is over");
        } else if (result == "-1") {
            Emit("program", "poll", "polls Status15: -1, counts as over");
        } else {
            Emit("program", "poll", "polls Status15: " + result + ", the exchange goes on");
        }
    } else if (what == "SetTimer") {
        Emit("program", "timer",
             result == "0" ? "can't start the poll timer" : "starts polling Status15 every 500 ms");
    }
}

void Timeline::Launch(const std::string& detail)
{
    static const std::regex launch(R"re(file "(.*)" parameters (null|"(.*)") show (-?\d+) -> (.*)$)re");
    std::smatch match;
    if (!std::regex_search(detail, match, launch)) {
        return;
    }
    awaiting_ = Awaiting::Nothing;
    const std::string file = match[1];
    const std::string parameters = match[3];
    const std::string outcome = match[5];
    const std::string name = HookName(file, parameters);
    std::string text = (name.empty() ? "starts a program: " : "starts the " + name + " hook: ") + file +
                       (parameters.empty() ? "" : " " + parameters);
    if (outcome != "started") {
        text += " -> can't be started (" + FileError(Number(outcome.substr(outcome.rfind(' ') + 1))) + ")";
    }
    Emit("program", "hook", text);
}

std::string Timeline::HookName(const std::string& file, const std::string& parameters) const
{
    std::string names;
    for (const char* key : {"before", "send", "after"}) {
        const auto found = hooks_.find(key);
        if (found != hooks_.end() && SplitHook(found->second) == std::make_pair(file, parameters)) {
            names += (names.empty() ? "" : "/") + Quoted(key);
        }
    }
    return names;
}

// Nothing was started where a hook could have been: say why, as the ProfileFile has it.
void Timeline::ExplainNoHook()
{
    std::string key = "before";
    if (awaiting_ == Awaiting::SendOrAfter) {
        key = outboxEmpty_ && hooks_.contains("send") ? "send" : "after";
    }
    awaiting_ = Awaiting::Nothing;
    const auto found = hooks_.find(key);
    std::string why = "the ProfileFile has no " + Quoted(key) + " entry";
    if (!profileRead_) {
        why = "the ProfileFile could not be read in this run";
    } else if (found != hooks_.end()) {
        const std::string program = SplitHook(found->second).first;
        why = program.empty() ? "the " + Quoted(key) + " entry names no program"
                              : "though the " + Quoted(key) + " entry names " + Quoted(program);
    }
    Emit("program", "hook",
         "starts no " + (key == "before" ? Quoted(key) + " hook" : std::string("hook")) + ": " + why);
}

void Timeline::Inspect(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    const std::string& detail = event.detail;
    Inspection& seen = inspection_;
    std::string code;
    const bool failed = IsFailure(detail, code);
    if (what == "CoInitializeEx") {
        seen.comFailed = failed;
    } else if (what == "HrGetOneProp" && !failed) {
        static const std::regex storeName(R"re(^store (.*) 0x3001001F -> )re");
        std::smatch match;
        const auto& names = seen.storeNames;
        if (std::regex_search(detail, match, storeName) &&
            std::find(names.begin(), names.end(), match[1].str()) == names.end()) {
            seen.storeNames.push_back(match[1]);
        }
    } else if (what == "IMAPITable::GetRowCount" && !failed) {
        seen.rowCount = Number(detail.substr(detail.rfind(' ') + 1));
    } else if (what == "IMAPITable::QueryRows" && !failed && detail.starts_with("contents table")) {
        const unsigned long rows = Number(detail.substr(detail.rfind(' ') + 1));
        seen.rows += rows;
        seen.rowsEnded = seen.rowsEnded || rows == 0;
    } else if (what == "IMAPISession::OpenEntry" && failed) {
        ++seen.unopened;  // a message that can't be opened still counts as one
        return;
    }
    if (failed && seen.firstFailure.empty()) {
        seen.firstFailure = what + " -> " + code;
    }
}

void Timeline::EndInspection()
{
    group_ = Group::None;
    const Inspection& seen = inspection_;
    const auto account =
        std::find_if(seen.storeNames.begin(), seen.storeNames.end(),
                     [](const std::string& name) { return name.starts_with(kAccountPrefix); });
    const std::string store =
        account == seen.storeNames.end() ? std::string("the account") : Quoted(*account);
    awaiting_ = Awaiting::Nothing;
    if (seen.rowCount) {
        const bool mail = *seen.rowCount != 0;
        Emit("program", "inspection",
             "counts the Outbox of " + store + ": " + Plural(*seen.rowCount, "message") +
                 (mail ? ", mail waits" : ", nothing to send"));
        if (mail && !inTick_) {
            awaiting_ = Awaiting::Before;
        }
        return;
    }
    if (seen.rowsEnded && seen.firstFailure.empty()) {
        outboxEmpty_ = seen.rows == 0;
        awaiting_ = inTick_ ? Awaiting::SendOrAfter : Awaiting::Nothing;
        const std::string unopened =
            seen.unopened == 0 ? "" : " (" + std::to_string(seen.unopened) + " can't be opened)";
        Emit("program", "inspection",
             "reads the Outbox of " + store + ": " + Plural(seen.rows, "message") + unopened +
                 (outboxEmpty_ ? ", empty" : ", not empty"));
        return;
    }
    std::string why = "after " + seen.firstFailure;
    if (seen.comFailed) {
        why = "COM can't be started (" + seen.firstFailure + ")";
    } else if (seen.firstFailure.empty() && account == seen.storeNames.end()) {
        std::string names;
        for (const auto& name : seen.storeNames) {
            names += (names.empty() ? "" : ", ") + Quoted(name);
        }
        why = "no store's name begins with \"070\"" +
              (names.empty() ? std::string(" (no store listed)") : " (stores: " + names + ")");
    } else if (seen.firstFailure.empty()) {
        why = "the account's store names no Outbox";
    }
    Emit("program", "inspection", "the Outbox inspection fails: " + why);
}

void Timeline::Exited(sim::Millis time, int code)
{
    now_ = time;
    Flush();
    const char* meaning = code == 1   ? " (another copy is running)"
                          : code == 2 ? " (the run failed part way)"
                                      : "";
    Emit("program", "exit", "exits with code " + std::to_string(code) + meaning);
}

void Timeline::Stopped(sim::Millis time, bool timeLimit)
{
    now_ = time;
    Flush();
    Emit("runner", "stopped",
         timeLimit ? "stops the run at its time limit; the program has not ended"
                   : "stops the run: the program would wait for ever, with nothing left to happen");
}

void Timeline::Crashed(sim::Millis time, const std::string& what)
{
    now_ = time;
    Flush();
    Emit("runner", "crashed", "the program failed with an exception of its platform: " + what);
}

}  // namespace runner
