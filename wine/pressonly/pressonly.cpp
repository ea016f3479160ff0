// The base lines for quillet.exe's start to the press: a program built the way quillet.exe is
// (static runtime, GUI subsystem, wide entry point) that does nothing but find the soft-key bar
// and press its left soft key, with the same two messages quillet.exe posts. Everything
// quillet.exe does before its press beyond this is time the user waits for it.
//
// With /window it first makes the hidden window quillet.exe must make before it presses (the
// same class and window values) and presses from that window's creation, as quillet.exe does:
// the least a program that works the way quillet.exe must can take.
#include <windows.h>

#include <cwchar>

namespace {

bool Press()
{
    HWND bar = FindWindowW(L"MS_SOFTKEY_CE_1.0", nullptr);
    if (bar == nullptr) {
        return false;
    }
    PostMessageW(bar, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(bar, WM_LBUTTONUP, 0, 0);
    return true;
}

LRESULT CALLBACK PressOnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        return Press() ? 0 : -1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool PressFromWindow(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PressOnCreate;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"HIDE_WINDOW";
    if (RegisterClassW(&windowClass) == 0) {
        return false;
    }
    wchar_t title[MAX_PATH] = {};
    GetModuleFileNameW(instance, title, MAX_PATH);
    return CreateWindowExW(0, L"HIDE_WINDOW", title, 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr) !=
           nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR commandLine, int /*show*/)
{
    const bool pressed = std::wcscmp(commandLine, L"/window") == 0 ? PressFromWindow(instance) : Press();
    return pressed ? 0 : 1;
}
