// The base line for quillet.exe's start to the press: a program built the way quillet.exe is
// (static runtime, GUI subsystem, wide entry point) that does nothing but find the soft-key bar
// and press its left soft key, with the same two messages quillet.exe posts. Everything
// quillet.exe does before its press beyond this is time the user waits for it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    HWND bar = FindWindowW(L"MS_SOFTKEY_CE_1.0", nullptr);
    if (bar == nullptr) {
        return 1;
    }
    PostMessageW(bar, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(bar, WM_LBUTTONUP, 0, 0);
    return 0;
}
