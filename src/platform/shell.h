// The shell: starting a program by name, as the user's hooks are started.
#pragma once

#include "platform/types.h"

#if defined(_WIN32) && !defined(_WIN32_WCE)
#include <shellapi.h>
#else  // the device, and the simulated phone that stands for it

// The wide request, laid out as on desktop Windows.
struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
};
using LPSHELLEXECUTEINFOW = SHELLEXECUTEINFOW*;

constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

#if defined(_WIN32_WCE)
// coredll.dll exports the wide start under the name without the W (the device has no other).
extern "C" BOOL WINAPI ShellExecuteEx(SHELLEXECUTEINFOW* execInfo);
#define ShellExecuteExW ShellExecuteEx
#else
constexpr int SW_HIDE = 0;

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* execInfo);
#endif

#endif

// The request's size at the phone's word size, which the shell checks in cbSize.
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60, "the request is 60 bytes on 32 bits");

// The flags of a hook's start. A failed start never shows a box of the shell's own, which
// would stall the run until someone closed it. The "send" and "after" hooks are started just
// before the program exits, and desktop Windows may finish a start (a document, an
// association) on a thread of the shell's own that the exit would cut short: there the call
// is asked to finish the start before it returns. The device keeps the quiet-failure flag
// alone: its shell is not the desktop's, and the request it has always been given stays.
#if defined(_WIN32) && !defined(_WIN32_WCE)
constexpr ULONG kHookLaunchMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
#else
constexpr ULONG kHookLaunchMask = SEE_MASK_FLAG_NO_UI;
#endif
