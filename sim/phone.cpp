#include "sim/phone.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace sim {

namespace {

std::int64_t SteadyMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Phone& Phone::Get()
{
    static Phone phone;
    return phone;
}

Phone::Phone()
{
    ResetCore();
}

void Phone::OnReset(std::function<void()> reset)
{
    resets_.push_back(std::move(reset));
}

void Phone::Reset()
{
    ResetCore();
    for (auto& reset : resets_) {
        reset();
    }
}

void Phone::EndProgram()
{
    for (const auto& [value, object] : handles_) {
        if (object->kind == "mutex") {
            mutexes.erase(object->name);
        }
    }
    handles_.clear();
    classes.clear();
    queue.clear();
    timers.clear();
    quitCode.reset();
    for (auto& [value, window] : windows_) {
        if (window.processId == kProgramProcessId) {
            window.destroyed = true;
        }
    }
    Record("phone", "program ended");
}

void Phone::ResetCore()
{
    onRecord = nullptr;
    keepTrace = true;
    lastError = 0;
    moduleFileName = WTEXT("/phone/Program Files/Quillet/quillet.exe");
    mutexes.clear();
    lockedFiles.clear();
    heldFiles.clear();
    filesInMemory = false;
    memoryFiles.clear();
    foreground = nullptr;
    classes.clear();
    queue.clear();
    timers.clear();
    quitCode.reset();
    registry.clear();
    registry[kPhoneStatusKey];
    openKeys = 0;
    phoneService = PhoneService{};
    realTime_ = false;
    virtualNow_ = 0;
    realStart_ = SteadyMillis();
    timeLimit_.reset();
    events_.clear();
    eventOrder_ = 0;
    trace_.clear();
    failAt_.clear();
    calls_.clear();
    handles_.clear();
    nextHandle_ = 0x100;
    windows_.clear();
    nextWindow_ = 0x10000;
}

Millis Phone::Now() const
{
    return realTime_ ? SteadyMillis() - realStart_ : virtualNow_;
}

void Phone::UseRealTime(bool real)
{
    realStart_ = SteadyMillis() - Now();
    virtualNow_ = Now();
    realTime_ = real;
}

void Phone::Schedule(Millis delay, std::function<void()> action)
{
    events_.push_back({Now() + delay, eventOrder_++, std::move(action)});
}

void Phone::Record(std::string actor, std::string what, Fields args, Fields result)
{
    TraceEvent event{Now(), std::move(actor), std::move(what), std::move(args), std::move(result)};
    if (!keepTrace) {
        if (onRecord) {
            onRecord(event);
        }
        return;
    }
    trace_.push_back(std::move(event));
    if (onRecord) {
        onRecord(trace_.back());
    }
}

std::vector<TraceEvent> Phone::TraceOf(const std::string& what) const
{
    std::vector<TraceEvent> found;
    std::copy_if(trace_.begin(), trace_.end(), std::back_inserter(found),
                 [&](const TraceEvent& event) { return event.what == what; });
    return found;
}

namespace {

// A name off the list is a fault of the phone itself. It ends the process: an exception could
// be taken by the program's own catch at its window procedure and pass for a failed call.
void RequireInjectable(const std::string& call)
{
    const auto& calls = Phone::InjectableCalls();
    if (std::find(calls.begin(), calls.end(), call) == calls.end()) {
        std::fprintf(stderr, "\"%s\" is not on the list of calls the simulated phone can fail\n",
                     call.c_str());
        std::abort();
    }
}

}  // namespace

const std::vector<std::string>& Phone::InjectableCalls()
{
    static const std::vector<std::string> calls = {
        "AppendMenuW",
        "CoInitializeEx",
        "CreateFileW",
        "CreateMutexW",
        "CreatePopupMenu",
        "CreateToolhelp32Snapshot",
        "CreateWindowExW",
        "GetClassNameW",
        "GetMessageW",
        "GetModuleFileNameW",
        "HrGetOneProp",
        "HrSetOneProp",
        "IMAPIFolder::GetContentsTable",
        "IMAPIProp::GetProps",
        "IMAPIProp::SetProps",
        "IMAPISession::GetMsgStoresTable",
        "IMAPISession::OpenEntry",
        "IMAPISession::OpenMsgStore",
        "IMAPITable::GetRowCount",
        "IMAPITable::QueryRows",
        "IMAPITable::SeekRow",
        "IMAPITable::SetColumns",
        "IMsgStore::OpenEntry",
        "MAPIInitialize",
        "MAPILogonEx",
        "MultiByteToWideChar",
        "PostMessageW",
        "Process32FirstW",
        "Process32NextW",
        "ReadFile",
        "RegOpenKeyExW",
        "RegQueryValueExW",
        "RegSetValueExW",
        "RegisterClassW",
        "SetTimer",
        "ShellExecuteExW",
        "TrackPopupMenuEx",
        "WriteFile",
    };
    return calls;
}

void Phone::Fail(const std::string& call, int nth)
{
    RequireInjectable(call);
    failAt_[call] = nth;
}

bool Phone::ShouldFail(const std::string& call)
{
    RequireInjectable(call);
    const int count = ++calls_[call];
    const auto plan = failAt_.find(call);
    return plan != failAt_.end() && (plan->second == 0 || plan->second == count);
}

int Phone::CallCount(const std::string& call) const
{
    const auto found = calls_.find(call);
    return found == calls_.end() ? 0 : found->second;
}

HANDLE Phone::AddHandle(std::unique_ptr<HandleObject> object)
{
    const auto value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);  // NOLINT(performance-no-int-to-ptr)
}

HandleObject* Phone::FindHandle(HANDLE handle, const std::string& kind)
{
    const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == handles_.end() || found->second->kind != kind) {
        return nullptr;
    }
    return found->second.get();
}

bool Phone::CloseHandle(HANDLE handle)
{
    return handles_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
}

std::size_t Phone::OpenHandles(const std::string& kind) const
{
    return static_cast<std::size_t>(std::count_if(
        handles_.begin(), handles_.end(), [&](const auto& entry) { return entry.second->kind == kind; }));
}

std::vector<const HandleObject*> Phone::HandlesOf(const std::string& kind) const
{
    std::vector<const HandleObject*> found;
    for (const auto& [value, object] : handles_) {
        if (object->kind == kind) {
            found.push_back(object.get());
        }
    }
    return found;
}

Window& Phone::AddWindow(const WString& className, DWORD processId, HWND parent)
{
    const auto value = nextWindow_;
    nextWindow_ += 2;
    auto* handle = reinterpret_cast<HWND>(value);  // NOLINT(performance-no-int-to-ptr)
    Window& window = windows_[value];
    window.handle = handle;
    window.className = className;
    window.processId = processId;
    window.parent = parent;
    if (Window* owner = FindWindow(parent)) {
        owner->children.push_back(handle);
    }
    return window;
}

Window* Phone::FindWindow(HWND handle)
{
    const auto found = windows_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == windows_.end() ? nullptr : &found->second;
}

std::vector<HWND> Phone::WindowsInCreationOrder() const
{
    std::vector<HWND> handles;
    for (const auto& entry : windows_) {
        handles.push_back(entry.second.handle);
    }
    return handles;
}

void Phone::RunDueEvents()
{
    for (;;) {
        const auto due = std::min_element(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
            return a.at != b.at ? a.at < b.at : a.order < b.order;
        });
        if (due == events_.end() || due->at > Now()) {
            return;
        }
        auto action = std::move(due->action);
        events_.erase(due);
        action();
    }
}

namespace {

volatile std::sig_atomic_t stopSignal = 0;

// Real-time waits are cut into slices this long, so that a stop is seen soon.
constexpr Millis kLongestSleep = 50;

}  // namespace

void RequestStop(int signal) noexcept
{
    stopSignal = signal;
}

int StopSignal() noexcept
{
    return stopSignal;
}

// Virtual time jumps to the moment; real time sleeps towards it, a slice at a time, so that a
// caller looping on this sees a stop soon.
void Phone::WaitTowards(Millis at)
{
    if (stopSignal != 0) {
        throw RunStopped{RunStopped::Reason::Interrupted};
    }
    if (at <= Now()) {
        return;
    }
    if (realTime_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(at - Now(), kLongestSleep)));
    } else {
        virtualNow_ = at;
    }
}

bool Phone::RunRemainingEvents()
{
    while (!events_.empty()) {
        const auto next = std::min_element(events_.begin(), events_.end(),
                                           [](const Event& a, const Event& b) { return a.at < b.at; });
        if (timeLimit_ && next->at > *timeLimit_) {
            return false;
        }
        WaitTowards(next->at);
        RunDueEvents();
    }
    return true;
}

bool Phone::NextMessage(MSG& msg)
{
    for (;;) {
        if (stopSignal != 0) {
            throw RunStopped{RunStopped::Reason::Interrupted};
        }
        RunDueEvents();
        if (!queue.empty()) {
            msg = queue.front();
            queue.erase(queue.begin());
            return msg.message != WM_QUIT;
        }
        if (quitCode) {
            msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(*quitCode), 0, 0, {}};
            quitCode.reset();
            return false;
        }
        auto timer = std::min_element(timers.begin(), timers.end(),
                                      [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (timer != timers.end() && timer->due <= Now()) {
            msg = MSG{timer->window, WM_TIMER, timer->id, 0, static_cast<DWORD>(Now()), {}};
            timer->due = Now() + timer->period;
            return true;
        }
        std::optional<Millis> next;
        if (timer != timers.end()) {
            next = timer->due;
        }
        for (const auto& event : events_) {
            next = next ? std::min(*next, event.at) : event.at;
        }
        if (!next) {
            throw RunStopped{RunStopped::Reason::WouldWaitForEver};
        }
        if (timeLimit_ && *next > *timeLimit_) {
            // The run is stopped at its limit, not at the last thing that happened before it.
            while (Now() < *timeLimit_) {
                WaitTowards(*timeLimit_);
            }
            throw RunStopped{RunStopped::Reason::TimeLimit};
        }
        WaitTowards(*next);
    }
}

}  // namespace sim
