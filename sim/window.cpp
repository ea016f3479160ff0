// The window manager of the simulated phone.
#include <algorithm>

#include "platform/window.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

using sim::HandleOf;
using sim::Int;

std::string MessageName(UINT message)
{
    switch (message) {
        case WM_CREATE: return "WM_CREATE";
        case WM_DESTROY: return "WM_DESTROY";
        case WM_CLOSE: return "WM_CLOSE";
        case WM_QUIT: return "WM_QUIT";
        case WM_TIMER: return "WM_TIMER";
        case WM_NCCREATE: return "WM_NCCREATE";
        case WM_NCDESTROY: return "WM_NCDESTROY";
        case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
        case WM_LBUTTONUP: return "WM_LBUTTONUP";
        case WM_KEYDOWN: return "WM_KEYDOWN";
        default: return std::to_string(message);
    }
}

sim::Window* LiveWindow(HWND handle)
{
    sim::Window* window = Phone::Get().FindWindow(handle);
    return window != nullptr && !window->destroyed ? window : nullptr;
}

LRESULT Send(sim::Window& window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return window.proc != nullptr ? window.proc(window.handle, message, wParam, lParam) : 0;
}

}  // namespace

HGDIOBJ GetStockObject(int object)
{
    // Stock objects are small fixed values; nothing owns them.
    auto* stock = reinterpret_cast<HGDIOBJ>(
        static_cast<std::uintptr_t>(0x8000 + object));  // NOLINT(performance-no-int-to-ptr)
    Phone::Get().Record("program", "GetStockObject", {{"object", Int(object)}},
                        {{"result", HandleOf(stock)}});
    return stock;
}

ATOM RegisterClassW(const WNDCLASSW* windowClass)
{
    auto& phone = Phone::Get();
    const WString name = windowClass->lpszClassName;
    ATOM atom = 0;
    if (phone.ShouldFail("RegisterClassW")) {
        phone.lastError = ERROR_NOT_ENOUGH_MEMORY;
    } else if (phone.classes.contains(name)) {
        phone.lastError = ERROR_CLASS_ALREADY_EXISTS;
    } else {
        phone.classes[name] = *windowClass;
        atom = static_cast<ATOM>(0xC000 + phone.classes.size());
    }
    phone.Record("program", "RegisterClassW", {{"class", name}, {"style", Int(windowClass->style)}},
                 {{"result", Int(atom)}});
    return atom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto& phone = Phone::Get();
    const WString name = className;
    const auto registered = phone.classes.find(name);
    const sim::Fields call = {{"class", name},
                              {"title", WString(windowName != nullptr ? windowName : WTEXT(""))},
                              {"exstyle", Int(exStyle)},
                              {"style", Int(style)},
                              {"x", Int(x)},
                              {"y", Int(y)},
                              {"width", Int(width)},
                              {"height", Int(height)}};
    if (registered == phone.classes.end() || phone.ShouldFail("CreateWindowExW")) {
        phone.Record("program", "CreateWindowExW", call, {{"result", sim::Handle{}}});
        return nullptr;
    }
    // The title is set by the default handling of WM_NCCREATE, from the creation record.
    sim::Window& window = phone.AddWindow(name, sim::kProgramProcessId, parent);
    window.proc = registered->second.lpfnWndProc;
    window.rect = RECT{x, y, x + width, y + height};
    window.style = style;
    window.exStyle = exStyle;
    window.menu = menu;
    window.instance = instance;
    window.createParam = param;
    HWND handle = window.handle;
    phone.Record("program", "CreateWindowExW", call,
                 {{"result", HandleOf(handle)}, {"sends", sim::Name{"WM_CREATE"}}});
    const CREATESTRUCTW record{.lpCreateParams = param,
                               .hInstance = instance,
                               .hMenu = menu,
                               .hwndParent = parent,
                               .cy = height,
                               .cx = width,
                               .y = y,
                               .x = x,
                               .style = static_cast<LONG>(style),
                               .lpszName = windowName,
                               .lpszClass = className,
                               .dwExStyle = exStyle};
    window.creation = &record;
    const auto recordParam = reinterpret_cast<LPARAM>(&record);
    const bool made = Send(window, WM_NCCREATE, 0, recordParam) != 0 &&
                      Send(*phone.FindWindow(handle), WM_CREATE, 0, recordParam) != -1;
    phone.FindWindow(handle)->creation = nullptr;
    if (!made) {
        DestroyWindow(handle);
        return nullptr;
    }
    return LiveWindow(handle) != nullptr ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle)
{
    auto& phone = Phone::Get();
    sim::Window* window = LiveWindow(handle);
    if (window == nullptr || window->processId != sim::kProgramProcessId) {
        return FALSE;
    }
    phone.Record("program", "DestroyWindow", {{"window", HandleOf(handle)}},
                 {{"sends", sim::Name{"WM_DESTROY"}}});
    window->destroyed = true;
    auto& timers = phone.timers;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [&](const auto& t) { return t.window == handle; }),
        timers.end());
    Send(*phone.FindWindow(handle), WM_DESTROY, 0, 0);
    Send(*phone.FindWindow(handle), WM_NCDESTROY, 0, 0);
    auto& queue = phone.queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const MSG& m) { return m.hwnd == handle; }),
                queue.end());
    return TRUE;
}

namespace {

// The default handling of WM_NCCREATE reads the creation record it is handed and takes the
// title from it; without a record the window is not made. While the window manager makes a
// window, only the record it sent that window will do.
LRESULT DefaultNcCreate(HWND handle, WPARAM wParam, LPARAM lParam)
{
    const auto* record = reinterpret_cast<const CREATESTRUCTW*>(lParam);  // NOLINT(performance-no-int-to-ptr)
    sim::Window* window = LiveWindow(handle);
    const bool sent =
        window != nullptr && window->creation != nullptr ? record == window->creation : record != nullptr;
    const bool taken = wParam == 0 && sent;
    Phone::Get().Record("program", "DefWindowProcW",
                        {{"message", sim::Name{"WM_NCCREATE"}}, {"record", taken}}, {{"result", taken}});
    if (!taken) {
        return FALSE;
    }
    if (window != nullptr) {
        window->title = record->lpszName != nullptr ? record->lpszName : WTEXT("");
    }
    return TRUE;
}

}  // namespace

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        return DefaultNcCreate(window, wParam, lParam);
    }
    Phone::Get().Record(
        "program", "DefWindowProcW",
        {{"message", sim::Name{MessageName(message)}}, {"wparam", Int(wParam)}, {"lparam", Int(lParam)}});
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& phone = Phone::Get();
    sim::Window* window = LiveWindow(handle);
    const bool ok = window != nullptr && !phone.ShouldFail("PostMessageW");
    phone.Record("program", "PostMessageW",
                 {{"window", HandleOf(handle)},
                  {"message", sim::Name{MessageName(message)}},
                  {"wparam", Int(wParam)},
                  {"lparam", Int(lParam)}},
                 {{"result", ok}});
    if (!ok) {
        return FALSE;
    }
    const MSG msg{handle, message, wParam, lParam, static_cast<DWORD>(phone.Now()), {}};
    if (window->processId == sim::kProgramProcessId) {
        phone.queue.push_back(msg);
    } else {
        window->received.push_back(msg);
        if (window->onPosted) {
            window->onPosted(msg);
        }
    }
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    auto& phone = Phone::Get();
    phone.Record("program", "PostQuitMessage", {{"code", Int(exitCode)}});
    phone.quitCode = exitCode;
}

BOOL GetMessageW(LPMSG msg, HWND /*window*/, UINT /*filterMin*/, UINT /*filterMax*/)
{
    auto& phone = Phone::Get();
    if (phone.ShouldFail("GetMessageW")) {
        phone.Record("program", "GetMessageW", {}, {{"result", Int(-1)}});
        return -1;
    }
    const bool more = phone.NextMessage(*msg);
    phone.Record("program", "GetMessageW", {},
                 {{"result", Int(more ? 1 : 0)}, {"message", sim::Name{MessageName(msg->message)}}});
    return more ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg)
{
    Phone::Get().Record("program", "TranslateMessage", {{"message", sim::Name{MessageName(msg->message)}}},
                        {{"result", false}});
    return FALSE;
}

// Recorded before the window procedure runs, so that the calls it makes come after it.
LRESULT DispatchMessageW(const MSG* msg)
{
    sim::Window* window = LiveWindow(msg->hwnd);
    Phone::Get().Record("program", "DispatchMessageW",
                        {{"window", HandleOf(msg->hwnd)}, {"message", sim::Name{MessageName(msg->message)}}},
                        {{"delivered", window != nullptr}});
    return window != nullptr ? Send(*window, msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC /*timerProc*/)
{
    auto& phone = Phone::Get();
    const bool ok = LiveWindow(window) != nullptr && !phone.ShouldFail("SetTimer");
    phone.Record("program", "SetTimer", {{"id", Int(id)}, {"ms", Int(elapse)}},
                 {{"result", Int(ok ? id : 0)}});
    if (!ok) {
        return 0;
    }
    auto& timers = phone.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const auto& t) { return t.window == window && t.id == id; }),
                 timers.end());
    timers.push_back({window, id, elapse, phone.Now() + elapse});
    return id;
}

HWND GetForegroundWindow()
{
    auto& phone = Phone::Get();
    // Taken before the call is recorded: whoever watches the trace may change the foreground,
    // and the answer must be the one the trace shows.
    HWND front = phone.foreground;
    phone.Record("program", "GetForegroundWindow", {}, {{"result", HandleOf(front)}});
    return front;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    auto& phone = Phone::Get();
    HWND found = nullptr;
    for (HWND handle : phone.WindowsInCreationOrder()) {
        const sim::Window* window = LiveWindow(handle);
        if (window != nullptr && window->parent == nullptr &&
            (className == nullptr || window->className == className) &&
            (windowName == nullptr || window->title == windowName)) {
            found = handle;
            break;
        }
    }
    phone.Record("program", "FindWindowW", {{"class", WString(className != nullptr ? className : WTEXT(""))}},
                 {{"result", HandleOf(found)}});
    return found;
}

int GetClassNameW(HWND handle, LPWSTR buffer, int bufferLength)
{
    auto& phone = Phone::Get();
    const sim::Window* window = LiveWindow(handle);
    int copied = 0;
    if (window != nullptr && bufferLength > 0 && !phone.ShouldFail("GetClassNameW")) {
        copied = static_cast<int>(
            std::min<std::size_t>(window->className.size(), static_cast<std::size_t>(bufferLength - 1)));
        std::copy_n(window->className.begin(), copied, buffer);
        buffer[copied] = 0;
    }
    sim::Fields result = {{"result", Int(copied)}};
    if (copied > 0) {
        result.push_back({"class", WString(buffer, static_cast<std::size_t>(copied))});
    }
    phone.Record("program", "GetClassNameW", {{"window", HandleOf(handle)}}, std::move(result));
    return copied;
}

HWND GetWindow(HWND handle, UINT command)
{
    auto& phone = Phone::Get();
    HWND found = nullptr;
    if (const sim::Window* window = LiveWindow(handle); window != nullptr && command == GW_CHILD) {
        const auto child = std::find_if(window->children.begin(), window->children.end(),
                                        [](HWND c) { return LiveWindow(c) != nullptr; });
        found = child != window->children.end() ? *child : nullptr;
    }
    phone.Record("program", "GetWindow", {{"window", HandleOf(handle)}, {"command", Int(command)}},
                 {{"result", HandleOf(found)}});
    return found;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId)
{
    auto& phone = Phone::Get();
    const sim::Window* window = LiveWindow(handle);
    // Like the platform, nothing is written for a window that no longer exists.
    if (window != nullptr && processId != nullptr) {
        *processId = window->processId;
    }
    phone.Record("program", "GetWindowThreadProcessId", {{"window", HandleOf(handle)}},
                 {{"process", Int(window != nullptr ? window->processId : 0)}});
    return window != nullptr ? window->processId + 1 : 0;
}

BOOL GetWindowRect(HWND handle, LPRECT rect)
{
    auto& phone = Phone::Get();
    const sim::Window* window = LiveWindow(handle);
    if (window != nullptr) {
        *rect = window->rect;
    }
    phone.Record("program", "GetWindowRect", {{"window", HandleOf(handle)}}, {{"result", window != nullptr}});
    return window != nullptr ? TRUE : FALSE;
}
