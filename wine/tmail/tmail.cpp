// The Messaging stand-in. Depending on --role it shows
//   compose  the compose window: "Dialog" / "Worker" / "PIEHTML" / "Body", in front, with its bar;
//   list     a Messaging window that is not the compose window ("Dialog" / "Worker" / "ListView");
//   front    a window of some other program (run from a copy with another name);
//   bar      only a soft-key bar, so that the only bar belongs to this process;
//   watcher  no window at all: it only answers menus (see --menu).
// --bar no leaves the bar out. A press on the bar (button down, then up) moves the draft named by
// --draft into the Outbox file of store --store. Every message that reaches the bar is recorded.
// --menu send|outbox|dismiss answers the popup menu of another process the way a person would:
// it finds the menu window and posts the keys to it.
// --upset ACTION --when EVENT changes the world under the program at one of its own steps:
//   EVENT   press     the button-down reaches the bar;
//           menu      the program's popup menu shows over our window (before it is answered);
//           menuloop  the program's menu tracking tells our window that a menu loop starts;
//   ACTION  destroy-compose  the window in front is destroyed (the process goes on);
//           destroy-bar      the bar is destroyed, so later messages have nowhere to go;
//           exit             the process ends at once, windows and all, as if it crashed;
//           pause            nothing more is done until the driver creates the file "resume",
//                            so that it can change the world itself (bring another program to front).
// Messages are still taken while paused, and everything that reaches a window is still recorded.
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
    std::wstring upset;
    std::wstring upsetWhen;
};

// The longest a pause waits for the driver.
constexpr long long kPauseMicroseconds = 20 * 1000000LL;

Settings settings;
HWND bar = nullptr;
HWND barEver = nullptr;  // the bar's handle, kept after it is destroyed: late messages still count
HWND mainWindow = nullptr;
bool buttonIsDown = false;
bool draftMoved = false;
bool menuSeen = false;
bool upsetDone = false;
long long startedAt = 0;

void HandleMessage(const MSG& msg);

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

// Takes messages until the driver says to go on (or asks everyone to stop, or gives up).
void PauseUntilResumed()
{
    const std::wstring resume = standin::StatePath(L"resume");
    const long long until = standin::NowMicroseconds() + kPauseMicroseconds;
    while (!standin::FileExists(resume) && !standin::StopRequested() && standin::NowMicroseconds() < until) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            HandleMessage(msg);
        }
        Sleep(5);
    }
    Log("resumed");
}

// Changes the world once, at the first time the event happens.
void Upset(const std::wstring& event)
{
    if (upsetDone || settings.upset.empty() || settings.upsetWhen != event) {
        return;
    }
    upsetDone = true;
    Log("upset", standin::Utf8(settings.upset + L" on " + event));
    if (settings.upset == L"destroy-compose" && mainWindow != nullptr) {
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
    } else if (settings.upset == L"destroy-bar" && bar != nullptr) {
        DestroyWindow(bar);
        bar = nullptr;
    } else if (settings.upset == L"exit") {
        ExitProcess(0);
    } else if (settings.upset == L"pause") {
        PauseUntilResumed();
    }
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
        Upset(L"press");
    } else if (msg.message == WM_LBUTTONUP && buttonIsDown) {
        buttonIsDown = false;
        MoveDraftToOutbox();
    }
}

void RecordMenu(HWND menu, DWORD owner)
{
    RECT rect{};
    GetWindowRect(menu, &rect);
    Log("menu", "owner=" + std::to_string(owner) + " rect=" + RectText(rect));
}

// Keys a person would press on the open menu.
void AnswerMenu(HWND menu)
{
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
}

// A visible menu window of another process: the one quillet tracks over our window. It is
// recorded, the world is upset if that was asked for, and then it is answered.
void WatchForMenu()
{
    if (menuSeen || (settings.menuAnswer.empty() && settings.upsetWhen != L"menu")) {
        return;
    }
    HWND menu = FindWindowW(L"#32768", nullptr);
    DWORD owner = 0;
    if (menu == nullptr || !IsWindowVisible(menu) || GetWindowThreadProcessId(menu, &owner) == 0 ||
        owner == GetCurrentProcessId()) {
        return;
    }
    menuSeen = true;
    RecordMenu(menu, owner);
    Upset(L"menu");
    if (!settings.menuAnswer.empty()) {
        AnswerMenu(menu);
    }
}

// The end of the stand-in's life: when the driver asks, or at the latest after --life seconds.
// A timer message comes only when no posted message waits, so a settle request answered here
// comes after every message posted before it was made.
void Tick()
{
    WatchForMenu();
    static int settled = 0;
    if (const int request = standin::SettleRequested(settled); request != 0) {
        Log("settled", std::to_string(request));
    }
    if (standin::StopRequested() || standin::NowMicroseconds() - startedAt > settings.lifeMicroseconds) {
        if (mainWindow != nullptr) {
            DestroyWindow(mainWindow);
        }
        if (bar != nullptr) {
            DestroyWindow(bar);
        }
        PostQuitMessage(0);
    }
}

// What the menu tracking of another program tells the menu's owner window.
const char* MenuNotification(UINT message)
{
    switch (message) {
        case WM_ENTERMENULOOP: return "WM_ENTERMENULOOP";
        case WM_EXITMENULOOP: return "WM_EXITMENULOOP";
        case WM_INITMENU: return "WM_INITMENU";
        case WM_INITMENUPOPUP: return "WM_INITMENUPOPUP";
        case WM_UNINITMENUPOPUP: return "WM_UNINITMENUPOPUP";
        case WM_MENUSELECT: return "WM_MENUSELECT";
        case WM_COMMAND: return "WM_COMMAND";
        default: return nullptr;
    }
}

// The window in front. Menu notifications sent to it by another program's menu tracking are
// recorded; the first that starts a menu loop is the "menuloop" event.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const char* name = MenuNotification(message)) {
        Log("owner", name);
        if (message == WM_ENTERMENULOOP || message == WM_INITMENUPOPUP) {
            Upset(L"menuloop");
        }
    }
    if (message == WM_DESTROY && window == mainWindow) {
        mainWindow = nullptr;
    }
    return DefWindowProcW(window, message, wParam, lParam);
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
    barEver = bar;
    ShowWindow(bar, SW_SHOWNOACTIVATE);
}

// The window in front: the compose window and its chain, another Messaging window, or another
// program's window. The bar-only and watcher roles have none.
void CreateMainWindow(HINSTANCE instance)
{
    if (settings.role == L"bar" || settings.role == L"watcher") {
        return;
    }
    const bool other = settings.role == L"front";
    const wchar_t* topClass = other ? L"PWordMain" : L"Dialog";
    RegisterClass(instance, topClass);
    const DWORD style = WS_POPUP | WS_VISIBLE;
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
    SetForegroundWindow(mainWindow);
    SetActiveWindow(mainWindow);
}

void HandleMessage(const MSG& msg)
{
    if (msg.hwnd == nullptr && msg.message == WM_TIMER) {
        Tick();
        return;
    }
    if (msg.hwnd == barEver && barEver != nullptr && msg.message != WM_PAINT) {
        RecordBarMessage(msg);
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
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
    settings.upset = options.Get(L"upset", L"");
    settings.upsetWhen = options.Get(L"when", L"");
    startedAt = standin::NowMicroseconds();

    if ((settings.withBar && settings.role != L"watcher") || settings.role == L"bar") {
        CreateBar(instance);
    }
    CreateMainWindow(instance);
    // A thread timer, so that the stand-in lives on when its windows are gone.
    SetTimer(nullptr, kWatchTimer, kWatchPeriodMs, nullptr);
    Log("ready",
        "pid=" + std::to_string(GetCurrentProcessId()) +
            " window=" + Hex(reinterpret_cast<UINT_PTR>(mainWindow)) + " front=" +
            std::string(mainWindow != nullptr && GetForegroundWindow() == mainWindow ? "yes" : "no") +
            " bar=" + std::string(bar != nullptr ? "yes" : "no"));

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HandleMessage(msg);
    }
    Log("end");
    return 0;
}
