// The shell: starting a program by name, as the user's hooks are started.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <shellapi.h>
#else

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

constexpr int SW_HIDE = 0;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* execInfo);

#endif
