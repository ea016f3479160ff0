// Reading the trace back as the steps of a run. Each step is made from the values the
// simulated phone recorded for its calls; text is made here only for the lines people read.
#include "sim/runner/timeline.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "sim/toolhelp.h"

namespace runner {

namespace {

const WString kAccountPrefix = WTEXT("070");
constexpr std::int64_t kErrorFileExists = 80;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Plural(std::int64_t count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string HandleText(sim::Handle handle)
{
    char text[32];
    std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(handle.value));
    return text;
}

std::string CodeText(std::uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

sim::Handle HandleIn(const sim::TraceEvent& event, std::string_view name)
{
    const auto* handle = event.Get<sim::Handle>(name);
    return handle != nullptr ? *handle : sim::Handle{};
}

bool Succeeded(const sim::TraceEvent& event)
{
    return event.Flag("result");
}

std::string MessageOf(const sim::TraceEvent& event)
{
    const auto* message = event.Get<sim::Name>("message");
    return message != nullptr ? message->text : std::string();
}

// The MAPI object a call was made on.
const sim::Interface* ObjectOf(const sim::TraceEvent& event)
{
    return event.Get<sim::Interface>("object");
}

bool IsMessageStoreCall(const std::string& what)
{
    static const std::array<std::string, 9> prefixes = {"Co",           "MAPI",      "IMAPI",
                                                        "IMsgStore",    "IUnknown",  "HrGetOneProp",
                                                        "HrSetOneProp", "FreeProws", "FileTimeToSystemTime"};
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string& prefix) { return what.starts_with(prefix); });
}

// A registry value as the trace gives it (its type and bytes): "REG_DWORD 0x00000001",
// "REG_SZ "1"", "REG_BINARY 01 00 00 00".
std::string ValueText(const sim::TraceEvent& event)
{
    const auto* data = event.Get<sim::Bytes>("data");
    const std::vector<std::uint8_t> bytes = data != nullptr ? data->bytes : std::vector<std::uint8_t>{};
    const std::int64_t type = event.Number("type");
    if (type == REG_DWORD && bytes.size() == 4) {
        return "REG_DWORD " +
               CodeText(bytes[0] | (bytes[1] << 8U) | (bytes[2] << 16U) | (std::uint32_t{bytes[3]} << 24U));
    }
    if (type == sim::kRegString) {
        WString text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            text += static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8U));
        }
        return "REG_SZ " + Quoted(sim::Utf8(WStringView(text).substr(0, text.find(WCHAR{0}))));
    }
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, " %02X", byte);
        hex += pair;
    }
    const std::string name =
        type == sim::kRegBinary ? "REG_BINARY" : "a value of type " + std::to_string(type);
    return bytes.empty() ? name + " of no bytes" : name + hex;
}

// Calls that make no step and end none: the message loop's hand-over, the last error, a stock
// brush, and a conversion that went through (one that fails is told with the file it came from).
bool IsPlumbing(const sim::TraceEvent& event)
{
    static const std::array<std::string, 5> plumbing = {"TranslateMessage", "DispatchMessageW",
                                                        "GetLastError", "SetLastError", "GetStockObject"};
    return std::find(plumbing.begin(), plumbing.end(), event.what) != plumbing.end() ||
           (event.what == "MultiByteToWideChar" && event.Number("result") != 0);
}

std::string RegistryError(std::int64_t error)
{
    switch (error) {
        case ERROR_FILE_NOT_FOUND: return "there is no such key";
        case ERROR_ACCESS_DENIED: return "access is denied";
        default: return "error " + std::to_string(error);
    }
}

std::string FileError(std::int64_t error)
{
    switch (error) {
        case 2: return "there is no such file";
        case 3: return "there is no such folder";
        case 5: return "access is denied";
        case 32: return "another program has it locked";
        case kErrorFileExists: return "the file exists";
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

Timeline::Timeline(HookSource hooks, std::string folder, Sink sink)
    : hooks_(std::move(hooks)), folder_(std::move(folder)), sink_(std::move(sink))
{
}

void Timeline::Emit(const std::string& actor, const std::string& event, const std::string& text, Step step)
{
    sink_(Line{now_, actor, event, Shown(sim::Printable(text)), std::move(step.to), step.failed});
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
    if (event.actor == "program" && IsPlumbing(event)) {
        return;
    }
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
                chain_.push_back({ChainStep::Kind::Class, event.Wide("class"), false});
                return true;
            }
            if (what == "GetWindow") {
                chain_.push_back({ChainStep::Kind::Child, {}, HandleIn(event, "result").value != 0});
                return true;
            }
            return false;
        case Group::Press:
            if (what == "GetWindowThreadProcessId" ||
                (what == "PostMessageW" && HandleIn(event, "window") == bar_)) {
                Press(event);
                return true;
            }
            return false;
        case Group::ReadProfile:
        case Group::WriteProfile:
            if (what == "ReadFile" || what == "WriteFile" || what == "CloseHandle" ||
                what == "MultiByteToWideChar") {
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
        case Group::WriteProfile: EndFile(); break;
        case Group::Inspection: EndInspection(); break;
        case Group::None: break;
    }
    group_ = Group::None;
}

void Timeline::Begin(Group group, const sim::TraceEvent& event)
{
    group_ = group;
    owners_.clear();
    pressed_ = {};
    chain_.clear();
    posts_.clear();
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
    if (what == "CreateMutexW") {
        Mutex(event);
    } else if (what == "CreateFileW") {
        OpenFile(event);
    } else if (what == "RegisterClassW" || what == "CreateWindowExW" || what == "GetMessageW") {
        Window(event);
    } else if (what == "GetForegroundWindow") {
        Begin(Group::Naming, event);
        front_ = HandleIn(event, "result");
    } else if (what == "GetClassNameW") {
        Begin(Group::ComposeTest, event);
    } else if (what == "FindWindowW") {
        if (HandleIn(event, "result").value == 0) {
            Emit("program", "press", "presses nothing: there is no soft-key bar");
        } else {
            Begin(Group::Press, event);
            bar_ = HandleIn(event, "result");
        }
    } else if (what == "CreatePopupMenu" && HandleIn(event, "result").value == 0) {
        Emit("program", "menu", "can't create the send-choice menu", {"", true});
    } else if (what == "AppendMenuW" && !Succeeded(event)) {
        Emit("program", "menu", "can't add an entry to the send-choice menu", {"", true});
    } else if (what == "TrackPopupMenuEx") {
        Menu(event);
    } else if (what == "PostMessageW") {
        Post(event);
    } else if (what.starts_with("Reg") || what == "SetTimer") {
        Registry(event);
    } else if (what == "ShellExecuteExW") {
        Launch(event);
    } else if (what == "GetModuleFileNameW" && event.Number("result") == 0) {
        ModuleFileNameUnread();
    } else if (IsMessageStoreCall(what)) {
        Begin(Group::Inspection, event);
    }
}

void Timeline::Party(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    const std::string& actor = event.actor;
    const std::string store = sim::Utf8(event.Wide("store"));
    const std::string outbox = store.empty() ? "the Outbox" : "the Outbox of " + Quoted(store);
    if (what == "left soft key") {
        const std::string delay = event.Has("ms") ? " in " + std::to_string(event.Number("ms")) + " ms" : "";
        Emit(actor, "draft",
             "the left soft key: " + (event.Flag("sends") ? "sends the draft" + delay : "nothing to send"));
    } else if (what == "draft moved to Outbox") {
        Emit(actor, "draft",
             "the draft reaches " + outbox +
                 (exited_ ? ", after the program has exited: it waits there unsent" : ""),
             {"store"});
    } else if (what == "draft lost") {
        Emit(actor, "draft",
             "the draft is lost: " +
                 (store.empty() ? "there is no account" : Quoted(store) + " has no Outbox"),
             {"", true});
    } else if (what == "send/receive starts") {
        Emit(actor, "exchange",
             "send/receive starts, " +
                 (event.Has("ms") ? "for " + std::to_string(event.Number("ms")) + " ms" : "and never ends"));
    } else if (what == "send/receive over") {
        Emit(actor, "exchange",
             event.Has("removed")
                 ? "send/receive over: " + sim::Utf8(event.Wide("removed")) + " removed"
                 : "send/receive over: " + sim::Utf8(event.Wide("name")) + " left as " + ValueText(event));
    } else if (what == "Outbox sent") {
        Emit(actor, "exchange", "sends " + Plural(event.Number("messages"), "message") + " from " + outbox,
             {"store"});
    } else if (what == "mail left in the Outbox") {
        Emit(actor, "exchange", "leaves " + Plural(event.Number("messages"), "message") + " in " + outbox,
             {"store"});
    } else if (what == "left soft key clicked") {
        Emit(actor, "click", "its left soft key is clicked");
    } else {
        const std::string detail = event.Detail();
        Emit(actor, "action", detail.empty() ? what : what + ": " + detail);
    }
}

void Timeline::Mutex(const sim::TraceEvent& event)
{
    const std::int64_t error = event.Number("error");
    if (HandleIn(event, "result").value == 0) {
        Emit("program", "lock", "can't create the single-instance lock (" + FileError(error) + "); runs on",
             {"", true});
    } else if (error == 0) {
        Emit("program", "lock", "takes the single-instance lock");
    } else {
        Emit("program", "lock", "finds the single-instance lock taken: another copy is running");
    }
}

void Timeline::Window(const sim::TraceEvent& event)
{
    if (event.what == "RegisterClassW") {
        if (event.Number("result") == 0) {
            Emit("program", "window", "can't register its window class", {"", true});
        }
    } else if (event.what == "CreateWindowExW") {
        if (HandleIn(event, "result").value == 0) {
            Emit("program", "window", "can't create its hidden window", {"", true});
        } else {
            window_ = HandleIn(event, "result");
        }
    } else {
        inTick_ = MessageOf(event) == "WM_TIMER";
        if (event.Number("result") == -1) {
            Emit("program", "loop", "can't take the next message: GetMessageW fails", {"", true});
        }
    }
}

// The program's own file name is read twice: for its hidden window's title, then, once the
// window is made, for the ProfileFile's path.
void Timeline::ModuleFileNameUnread()
{
    if (window_.value == 0) {
        Emit("program", "window", "can't read its own file name: its hidden window goes without a title",
             {"", true});
        return;
    }
    profile_ = ProfileFile::NoPath;
    Emit("program", "profile",
         "can't read its own file name: no ProfileFile path can be made, so none is read or written in this "
         "run",
         {"", true});
}

void Timeline::Naming(const sim::TraceEvent& event)
{
    if (event.what == "GetWindowThreadProcessId") {
        owners_.push_back(event.Number("process"));
    } else if (event.what == "CreateToolhelp32Snapshot" && event.Get<sim::Name>("result") != nullptr) {
        group_ = Group::None;
        Emit("program", "front",
             "can't read the process list: takes the window in front (" + HandleText(front_) +
                 ") for the Messaging program's",
             {"", true});
    } else if (event.what.starts_with("Process32") && exeName_.empty()) {
        if (Succeeded(event) && !owners_.empty() && event.Number("process") == owners_.front()) {
            exeId_ = event.Number("process");
            exeName_ = sim::Utf8(event.Wide("exe"));
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
    if (front_.value == 0) {
        Emit("program", "front", "finds no window in front");
    } else if (exeName_.empty()) {
        Emit("program", "front",
             "the window in front (" + HandleText(front_) + ") belongs to no listed process");
    } else {
        Emit("program", "front",
             "the program in front is " + Quoted(exeName_) + " (window " + HandleText(front_) + ", process " +
                 std::to_string(exeId_) + ")");
    }
}

void Timeline::EndComposeTest()
{
    static const std::array<WString, 3> composeClasses = {WTEXT("Dialog"), WTEXT("Worker"), WTEXT("PIEHTML")};
    std::string shown;
    bool compose = chain_.size() == 2 * composeClasses.size();
    for (std::size_t i = 0; i < chain_.size(); ++i) {
        const ChainStep& step = chain_[i];
        const bool isClass = step.kind == ChainStep::Kind::Class;
        if (compose) {
            compose = isClass ? step.className == composeClasses.at(i / 2) : step.found;
        }
        // A child found along the way shows as its class; only the last one stands alone.
        if (!isClass && step.found && i + 1 < chain_.size()) {
            continue;
        }
        const std::string text =
            isClass ? (step.className.empty() ? "(unreadable)" : Quoted(sim::Utf8(step.className)))
                    : (step.found ? "a child" : "no child");
        shown += (shown.empty() ? "" : " > ") + text;
    }
    Emit("program", "compose-test",
         "compose-window test: " + shown + (compose ? ": the compose window" : ": not the compose window"));
}

void Timeline::Press(const sim::TraceEvent& event)
{
    if (event.what == "GetWindowThreadProcessId") {
        if (owners_.empty()) {
            pressed_ = HandleIn(event, "window");
        }
        owners_.push_back(event.Number("process"));
        return;
    }
    posts_.emplace_back(MessageOf(event), Succeeded(event));
    if (MessageOf(event) == "WM_LBUTTONUP") {
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
    const std::int64_t barOwner = owners_.size() > 1 ? owners_[1] : 0;
    const std::string owner = ProcessName(barOwner);
    if (!posts_.empty()) {
        const std::string exe = ProcessExe(barOwner);
        const std::string key =
            "the left soft key of " + owner + "'s soft-key bar (" + HandleText(bar_) + ")";
        std::string lost;
        std::string posted;
        for (const auto& [message, ok] : posts_) {
            std::string& list = ok ? posted : lost;
            list += (list.empty() ? "" : " and ") + message;
        }
        const Step step{exe == "tmail.exe" ? "messaging" : exe, !lost.empty()};
        if (lost.empty()) {
            Emit("program", "press", "presses " + key, step);
        } else {
            // The program does not look at what the posts answered, and goes on as after a click.
            Emit("program", "press",
                 "can't click " + key + ": " + lost + " can't be posted" +
                     (posted.empty() ? "" : " (" + posted + " is)") +
                     "; the program does not check, and goes on",
                 step);
        }
        return;
    }
    // The program clicks only a bar whose owner is the window's, both known.
    const std::int64_t windowOwner = owners_.empty() ? 0 : owners_[0];
    const std::string bar = "the soft-key bar (" + HandleText(bar_) + ")";
    std::string why = bar + " is " + owner + "'s, not " + ProcessName(windowOwner) +
                      "'s like the window: a click would reach a program the user isn't looking at";
    if (pressed_.value == 0) {
        why = "no window is in front to own a soft-key bar";
    } else if (windowOwner == 0) {
        why = "the window (" + HandleText(pressed_) + ") is gone, so its owner can't be told";
    } else if (barOwner == 0) {
        why = bar + " is gone, so its owner can't be told";
    }
    Emit("program", "press", "presses nothing: " + why);
}

std::string Timeline::ProcessExe(std::int64_t id)
{
    const auto& entries = sim::Processes().entries;
    const auto found = std::find_if(entries.begin(), entries.end(), [id](const sim::ProcessEntry& entry) {
        return static_cast<std::int64_t>(entry.id) == id;
    });
    return found == entries.end() ? std::string() : sim::Utf8(found->exeFile);
}

std::string Timeline::ProcessName(std::int64_t id)
{
    const std::string exe = ProcessExe(id);
    return exe.empty() ? "process " + std::to_string(id) : Quoted(exe);
}

void Timeline::OpenFile(const sim::TraceEvent& event)
{
    path_ = sim::Utf8(event.Wide("path"));
    const bool reading = !event.Flag("write");
    if (Succeeded(event)) {
        group_ = reading ? Group::ReadProfile : Group::WriteProfile;
        bytes_ = 0;
        readFailed_ = false;
        unconverted_ = 0;
        return;
    }
    const std::int64_t error = event.Number("error");
    if (reading) {
        Emit("program", "profile", "can't read the ProfileFile " + path_ + ": " + FileError(error),
             {"", true});
    } else if (error == kErrorFileExists) {
        Emit("program", "profile", "leaves " + path_ + " as it is: " + FileError(error));
    } else {
        Emit("program", "profile", "can't write the default ProfileFile " + path_ + ": " + FileError(error),
             {"", true});
    }
}

void Timeline::File(const sim::TraceEvent& event)
{
    if (event.what == "CloseHandle") {
        EndFile();
        return;
    }
    if (event.what == "MultiByteToWideChar") {
        ++unconverted_;
        return;
    }
    if (!Succeeded(event)) {
        readFailed_ = true;
    } else if (!readFailed_) {
        bytes_ += event.Number("bytes");
    }
}

// A read that fails part way leaves the program the lines it had read whole; a write that
// fails leaves the file as far as it got.
void Timeline::EndFile()
{
    const bool reading = group_ == Group::ReadProfile;
    group_ = Group::None;
    if (reading) {
        profile_ = readFailed_ ? ProfileFile::ReadInPart : ProfileFile::Read;
    }
    std::string text =
        (reading ? "reads the ProfileFile " : "writes the default ProfileFile ") + path_ + ": ";
    if (!readFailed_) {
        text += Plural(bytes_, "byte");
    } else if (reading) {
        text += "a read fails after " + Plural(bytes_, "byte") +
                "; the program keeps the lines it had read whole";
    } else {
        text += "a write fails after " + Plural(bytes_, "byte") + ", and the file holds only those";
    }
    if (unconverted_ > 0) {
        text += "; code page 932 can't convert " + Plural(unconverted_, "piece") +
                " of it, whose bytes above 0x7F read as U+FFFD";
    }
    Emit("program", "profile", text, {"", readFailed_ || unconverted_ > 0});
}

void Timeline::Menu(const sim::TraceEvent& event)
{
    const auto* items = event.Get<sim::MenuEntries>("items");
    if (!event.Flag("shown") || items == nullptr) {
        Emit("program", "menu", "can't show the send-choice menu", {"user", true});
        return;
    }
    std::string entries;
    std::string picked;
    for (const auto& item : *items) {
        entries += (entries.empty() ? "" : ", ") + Quoted(sim::Utf8(item.text));
        if (static_cast<std::int64_t>(item.id) == event.Number("chosen")) {
            picked = Quoted(sim::Utf8(item.text));
        }
    }
    Emit("program", "menu",
         "shows the send-choice menu at " + std::to_string(event.Number("x")) + "," +
             std::to_string(event.Number("y")) + ": " + entries,
         {"user"});
    Emit("user", "choice", picked.empty() ? "dismisses the menu" : "picks " + picked, {"program"});
}

void Timeline::Post(const sim::TraceEvent& event)
{
    if (MessageOf(event) != "WM_CLOSE" || HandleIn(event, "window") != window_) {
        return;
    }
    if (awaiting_ == Awaiting::SendOrAfter) {
        ExplainNoHook();
    }
    awaiting_ = Awaiting::Nothing;
    const bool posted = Succeeded(event);
    Emit("program", "close", posted ? "closes its window" : "can't post the close request to its window",
         {"", !posted});
}

void Timeline::Registry(const sim::TraceEvent& event)
{
    const std::string& what = event.what;
    const std::int64_t status = event.Number("result");
    if (what == "RegOpenKeyExW") {
        if (!inTick_ && awaiting_ == Awaiting::Before) {
            ExplainNoHook();
        }
        if (status == 0) {
            return;
        }
        const std::string why = RegistryError(status);
        Emit("program", inTick_ ? "poll" : "request",
             inTick_ ? "polls Status15: the key can't be opened (" + why + "): counts as over"
                     : R"(can't open HKCU\Software\Sharp\PhoneStatus ()" + why + "): writes nothing",
             {"phone", true});
    } else if (what == "RegSetValueExW") {
        const std::string value = sim::Utf8(event.Wide("name")) + " = " +
                                  (event.Has("value") ? std::to_string(event.Number("value"))
                                                      : Plural(event.Number("bytes"), "byte"));
        Emit("program", "request",
             status == 0 ? "writes " + value + ": asks the phone for a send/receive"
                         : "can't write " + value + " (" + RegistryError(status) +
                               "): the phone is not asked for a send/receive; the program does not check",
             {"phone", status != 0});
    } else if (what == "RegQueryValueExW") {
        Poll(event);
    } else if (what == "SetTimer") {
        if (status == 0) {
            Emit("program", "timer", "can't start the poll timer", {"", true});
        } else {
            Emit("program", "timer",
                 "starts polling Status15 every " + std::to_string(event.Number("ms")) + " ms");
        }
    }
}

// What the program concludes from a poll: a value that can't be read counts as -1, and -1,
// however it came, as the value gone.
void Timeline::Poll(const sim::TraceEvent& event)
{
    const std::int64_t status = event.Number("result");
    const std::string value = event.Has("type") ? ValueText(event) : std::string();
    const std::string over = ", taken for the value gone: the exchange is over";
    if (status == ERROR_FILE_NOT_FOUND) {
        Emit("program", "poll", "polls Status15: gone, the exchange is over", {"phone"});
    } else if (status == sim::kErrorMoreData) {
        Emit("program", "poll",
             "polls Status15: " + value + " doesn't fit the program's 4-byte read, which leaves -1" + over,
             {"phone"});
    } else if (status != 0) {
        Emit(
            "program", "poll",
            "polls Status15: the value can't be read (" + RegistryError(status) + "), which leaves -1" + over,
            {"phone", true});
    } else {
        const std::int64_t read = event.Number("read", -1);
        const auto* data = event.Get<sim::Bytes>("data");
        const bool plain = event.Number("type") == REG_DWORD && data != nullptr && data->bytes.size() == 4;
        const std::string shown = plain ? std::to_string(read) : value + ", read as " + std::to_string(read);
        Emit("program", "poll", "polls Status15: " + shown + (read == -1 ? over : ", the exchange goes on"),
             {"phone"});
    }
}

void Timeline::Launch(const sim::TraceEvent& event)
{
    awaiting_ = Awaiting::Nothing;
    const std::string file = sim::Utf8(event.Wide("file"));
    const std::string parameters = sim::Utf8(event.Wide("parameters"));
    const std::string name = HookName(file, parameters);
    // The program in quotes, so that where it ends and its parameters begin shows.
    std::string text = (name.empty() ? "starts a program: " : "starts the " + name + " hook: ") +
                       Quoted(file) + (parameters.empty() ? "" : " with parameters " + parameters);
    const bool started = Succeeded(event);
    if (!started) {
        text += " -> can't be started (" + FileError(event.Number("error")) + ")";
    }
    std::string key;
    for (const char* entry : {"before", "send", "after"}) {
        if (name.find(Quoted(entry)) != std::string::npos) {
            key += (key.empty() ? "" : "/") + std::string(entry);
        }
    }
    Emit("program", "hook", text, {"hook:" + key, !started});
}

std::string Timeline::HookName(const std::string& file, const std::string& parameters) const
{
    const HookValues hooks = hooks_();
    std::string names;
    for (const char* key : {"before", "send", "after"}) {
        const auto found = hooks.find(key);
        if (found != hooks.end() && SplitHook(found->second) == std::make_pair(file, parameters)) {
            names += (names.empty() ? "" : "/") + Quoted(key);
        }
    }
    return names;
}

// Nothing was started where a hook could have been: say why, as the ProfileFile has it.
void Timeline::ExplainNoHook()
{
    const HookValues hooks = hooks_();
    std::string key = "before";
    if (awaiting_ == Awaiting::SendOrAfter) {
        key = outboxEmpty_ && hooks.contains("send") ? "send" : "after";
    }
    awaiting_ = Awaiting::Nothing;
    const auto found = hooks.find(key);
    std::string why = (profile_ == ProfileFile::ReadInPart
                           ? "the lines of the ProfileFile read before its read failed have no "
                           : "the ProfileFile has no ") +
                      Quoted(key) + " entry";
    if (profile_ == ProfileFile::NoPath) {
        why = "no ProfileFile path could be made in this run";
    } else if (profile_ == ProfileFile::NotRead) {
        why = "the ProfileFile could not be read in this run";
    } else if (found != hooks.end()) {
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
    Inspection& seen = inspection_;
    const bool failed = event.Failed();
    const sim::Interface* object = ObjectOf(event);
    const bool contents = object != nullptr && object->kind == "contents table";
    constexpr std::uint64_t kDisplayName = 0x3001001F;
    if (what == "CoInitializeEx") {
        seen.comFailed = failed;
    } else if (what == "HrGetOneProp" && !failed && object != nullptr && object->kind == "store" &&
               event.Get<sim::Hex>("tag") != nullptr && event.Get<sim::Hex>("tag")->value == kDisplayName) {
        const std::string name = sim::Utf8(object->name);
        if (seen.seen.insert(name).second) {
            seen.storeNames.push_back(name);
        }
    } else if (what == "IMAPITable::GetRowCount" && contents && !failed) {
        seen.rowCount = event.Number("count");
        seen.answeredBy = sim::Utf8(object->store);
    } else if (what == "IMAPITable::QueryRows" && contents) {
        const std::int64_t rows = failed ? 0 : event.Number("rows");
        seen.rows += rows;
        // A read that fails once rows have been read ends the walk as the table's end does.
        if (rows == 0 && (!failed || seen.rows > 0)) {
            seen.rowsEnded = true;
            seen.answeredBy = sim::Utf8(object->store);
        }
    } else if (what == "IMAPISession::OpenEntry" && failed) {
        ++seen.unopened;  // a message that can't be opened still counts as one
        return;
    }
    if (failed) {
        seen.lastFailure = what + " -> " + CodeText(event.Get<sim::HResult>("result")->value);
    }
}

// The line says what the program concluded: the Outbox's answer when one came, whatever
// failed on the way to it (a store that doesn't open while another does); otherwise why
// there was none.
void Timeline::EndInspection()
{
    group_ = Group::None;
    const Inspection& seen = inspection_;
    const std::string store = seen.answeredBy.empty() ? std::string("the account") : Quoted(seen.answeredBy);
    awaiting_ = Awaiting::Nothing;
    if (seen.rowCount) {
        const bool mail = *seen.rowCount != 0;
        Emit("program", "inspection",
             "counts the Outbox of " + store + ": " + Plural(*seen.rowCount, "message") +
                 (mail ? ", mail waits" : ", nothing to send"),
             {"store"});
        if (mail && !inTick_) {
            awaiting_ = Awaiting::Before;
        }
        return;
    }
    if (seen.rowsEnded) {
        outboxEmpty_ = seen.rows == 0;
        awaiting_ = inTick_ ? Awaiting::SendOrAfter : Awaiting::Nothing;
        const std::string unopened =
            seen.unopened == 0 ? "" : " (" + std::to_string(seen.unopened) + " can't be opened)";
        Emit("program", "inspection",
             "reads the Outbox of " + store + ": " + Plural(seen.rows, "message") + unopened +
                 (outboxEmpty_ ? ", empty" : ", not empty"),
             {"store"});
        return;
    }
    const bool account =
        std::any_of(seen.storeNames.begin(), seen.storeNames.end(),
                    [](const std::string& name) { return sim::Utf16(name).starts_with(kAccountPrefix); });
    std::string why = "after " + seen.lastFailure;
    if (seen.comFailed) {
        why = "COM can't be started (" + seen.lastFailure + ")";
    } else if (seen.lastFailure.empty() && !account) {
        std::string names;
        for (const auto& name : seen.storeNames) {
            names += (names.empty() ? "" : ", ") + Quoted(name);
        }
        why = "no store's name begins with \"070\"" +
              (names.empty() ? std::string(" (no store listed)") : " (stores: " + names + ")");
    } else if (seen.lastFailure.empty()) {
        why = "the account's store names no Outbox";
    }
    Emit("program", "inspection", "the Outbox inspection fails: " + why, {"store", true});
}

void Timeline::Exited(sim::Millis time, int code)
{
    now_ = time;
    Flush();
    const char* meaning = code == 1   ? " (another copy is running)"
                          : code == 2 ? " (the run failed part way)"
                                      : "";
    Emit("program", "exit", "exits with code " + std::to_string(code) + meaning, {"", code == 2});
    exited_ = true;
}

void Timeline::SecondCopy(sim::Millis time, std::optional<int> code)
{
    now_ = time;
    Flush();
    if (!code) {
        Emit("2nd copy", "second-copy",
             "is due, but the first copy has exited: the simulated phone starts a second copy only while the "
             "first one runs");
    } else if (*code == 1) {
        // A copy that ran acts on the first one: it met its lock, or ran beside it.
        Emit("2nd copy", "second-copy",
             "starts, finds the single-instance lock taken and exits with code 1 (another copy is running)",
             {"program"});
    } else {
        Emit("2nd copy", "second-copy", "starts and exits with code " + std::to_string(*code),
             {"program", true});
    }
}

void Timeline::FailureNotMet(sim::Millis time, const std::string& call, int nth, int made)
{
    now_ = time;
    Flush();
    const std::string calls = made == 0 ? "no such call" : Plural(made, "such call");
    Emit("runner", "failure-not-met",
         "the planned failure of " + Quoted(call) + (nth == 0 ? "" : " at call " + std::to_string(nth)) +
             " never came to pass: the run made " + calls);
}

void Timeline::Stopped(sim::Millis time, bool timeLimit)
{
    now_ = time;
    Flush();
    Emit("runner", "stopped",
         timeLimit ? (exited_ ? "stops the run at its time limit; the other parties had more to do"
                              : "stops the run at its time limit; the program has not ended")
                   : "stops the run: the program would wait for ever, with nothing left to happen",
         {"", !exited_});
}

void Timeline::Crashed(sim::Millis time, const std::string& what)
{
    now_ = time;
    Flush();
    Emit("runner", "crashed", "the program failed with an exception of its platform: " + what, {"", true});
}

}  // namespace runner
