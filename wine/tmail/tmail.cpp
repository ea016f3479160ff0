// The Messaging stand-in. Depending on --role it shows
//   compose  the compose window: "Dialog" / "Worker" / "PIEHTML" / "Body", in front, with its bar;
//   list     a Messaging window that is not the compose window ("Dialog" / "Worker" / "ListView");
//   front    a window of some other program (run from a copy with another name);
//   bar      only a soft-key bar, so that the only bar belongs to this process.
// --bar no leaves the bar out. A press on the bar (button down, then up) moves the draft named by
// --draft into the Outbox file of store --store. Every message that reaches the bar is recorded.
// --menu send|outbox|dismiss answers the popup menu of another process the way a person would:
// it finds the menu window and posts the keys to it.
#include <windows.h>

#include <array>
#include <charconv>
#include <string>

#include "common/standin.h"

namespace {

constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchPeriodMs = 20;
constexpr wchar_t kBarClass[] = L"MS_SOFTKEY_CE_1.0";

// The compose window's place on the screen; the menu is expected on its bottom-left corner.
constexpr int kWindowLeft = 12;
constexpr int kWindowTop = 24;
constexpr int kWindowWidth = 456;
constexpr int kWindowHeight = 520;
constexpr int kBarHeight = 64;

struct Settings {
    std::wstring role;
    bool withBar = true;
    std::wstring menuAnswer;
    std::wstring draft;
    std::wstring store;
    std::wstring log;
    long long lifeMicroseconds = 0;
};

Settings settings;
HWND bar = nullptr;
HWND mainWindow = nullptr;
bool buttonIsDown = false;
bool draftMoved = false;
bool menuAnswered = false;
long long startedAt = 0;

void Log(const std::string& what, const std::string& detail = {})
{
    standin::Record(settings.log, what, detail);
}

std::string Hex(unsigned long long value)
{
    std::array<char, 24> text{'0', 'x'};
    const auto end = std::to_chars(text.data() + 2, text.data() + text.size(), value, 16).ptr;
    return {text.data(), end};
}

std::string RectText(const RECT& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) +
           "," + std::to_string(rect.bottom);
}

void MoveDraftToOutbox()
{
    if (settings.role != L"compose" || draftMoved || settings.draft.empty()) {
        return;
    }
    draftMoved = true;
    standin::AppendLine(standin::StatePath(L"outbox-" + settings.store + L".txt"), settings.draft);
    Log("moved", standin::Utf8(settings.draft));
}

// A posted message that reached the bar, as the program in front would see it.
void RecordBarMessage(const MSG& msg)
{
    Log("bar",
        Hex(msg.message) + " " + Hex(msg.wParam) + " " + Hex(static_cast<unsigned long long>(msg.lParam)));
    if (msg.message == WM_LBUTTONDOWN) {
        buttonIsDown = true;
    } else if (msg.message == WM_LBUTTONUP && buttonIsDown) {
        buttonIsDown = false;
        MoveDraftToOutbox();
    }
}

// Keys a person would press on the open menu.
void AnswerMenu(HWND menu)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    RECT rect{};
    GetWindowRect(menu, &rect);
    Log("menu", "owner=" + std::to_string(owner) + " rect=" + RectText(rect));
    auto press = [menu](WPARAM key) { PostMessageW(menu, WM_KEYDOWN, key, 1); };
    if (settings.menuAnswer == L"send") {
        press(VK_DOWN);
        press(VK_RETURN);
    } else if (settings.menuAnswer == L"outbox") {
        press(VK_DOWN);
        press(VK_DOWN);
        press(VK_RETURN);
    } else {
        press(VK_ESCAPE);
    }
    menuAnswered = true;
}

// A visible menu window of another process: the one quillet tracks over our window.
void WatchForMenu()
{
    if (settings.menuAnswer.empty() || menuAnswered) {
        return;
    }
    HWND menu = FindWindowW(L"#32768", nullptr);
    DWORD owner = 0;
    if (menu != nullptr && IsWindowVisible(menu) && GetWindowThreadProcessId(menu, &owner) != 0 &&
        owner != GetCurrentProcessId()) {
        AnswerMenu(menu);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_TIMER:
            WatchForMenu();
            if (standin::StopRequested() ||
                standin::NowMicroseconds() - startedAt > settings.lifeMicroseconds) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

void RegisterClass(HINSTANCE instance, const wchar_t* name)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc =
        name == std::wstring(L"Dialog") || name == std::wstring(L"PWordMain") ? WindowProc : DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

HWND CreateChild(HINSTANCE instance, const wchar_t* className, HWND parent)
{
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE, 0, 0, kWindowWidth, kWindowHeight,
                           parent, nullptr, instance, nullptr);
}

// The soft-key bar is top level, below the window; it is never activated.
void CreateBar(HINSTANCE instance)
{
    RegisterClass(instance, kBarClass);
    bar = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, kBarClass, L"", WS_POPUP, kWindowLeft,
                          kWindowTop + kWindowHeight, kWindowWidth, kBarHeight, nullptr, nullptr, instance,
                          nullptr);
    ShowWindow(bar, SW_SHOWNOACTIVATE);
}

// The window in front: the compose window and its chain, another Messaging window, or another
// program's window. The bar-only role has none and keeps a hidden window for its timer.
void CreateMainWindow(HINSTANCE instance)
{
    const bool other = settings.role == L"front";
    const wchar_t* topClass = other ? L"PWordMain" : L"Dialog";
    RegisterClass(instance, topClass);
    const DWORD style = settings.role == L"bar" ? WS_POPUP : WS_POPUP | WS_VISIBLE;
    mainWindow = CreateWindowExW(0, topClass, L"Messaging", style, kWindowLeft, kWindowTop, kWindowWidth,
                                 kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (settings.role == L"compose" || settings.role == L"list") {
        RegisterClass(instance, L"Worker");
        RegisterClass(instance, L"PIEHTML");
        RegisterClass(instance, L"ListView");
        RegisterClass(instance, L"Body");
        HWND worker = CreateChild(instance, L"Worker", mainWindow);
        if (settings.role == L"compose") {
            CreateChild(instance, L"Body", CreateChild(instance, L"PIEHTML", worker));
        } else {
            CreateChild(instance, L"ListView", worker);
        }
    }
    if (settings.role != L"bar") {
        SetForegroundWindow(mainWindow);
        SetActiveWindow(mainWindow);
    }
    SetTimer(mainWindow, kWatchTimer, kWatchPeriodMs, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    const standin::Options options(GetCommandLineW());
    settings.role = options.Get(L"role", L"compose");
    settings.withBar = options.Get(L"bar", L"yes") != L"no";
    settings.menuAnswer = options.Get(L"menu", L"");
    settings.draft = options.Get(L"draft", L"");
    settings.store = options.Get(L"store", L"0");
    settings.log = standin::StatePath(options.Get(L"log", L"tmail") + L".log");
    settings.lifeMicroseconds = options.GetInt(L"life", 60) * 1000000LL;
    startedAt = standin::NowMicroseconds();

    if (settings.withBar || settings.role == L"bar") {
        CreateBar(instance);
    }
    CreateMainWindow(instance);
    Log("ready", "pid=" + std::to_string(GetCurrentProcessId()) +
                     " window=" + Hex(reinterpret_cast<UINT_PTR>(mainWindow)) +
                     " front=" + std::string(GetForegroundWindow() == mainWindow ? "yes" : "no") +
                     " bar=" + std::string(bar != nullptr ? "yes" : "no"));

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == bar && bar != nullptr && msg.message != WM_PAINT) {
            RecordBarMessage(msg);
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Log("end");
    return 0;
}
