// The program's own process: its module file name and the named mutex.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD MAX_PATH = 260;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// The platform's entry point of a GUI program, which the program defines.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

#elif !defined(_WIN32_WCE)
// The device's entry takes its command line as wide text under the name WinMain; desktop
// Windows calls that entry wWinMain.
#define WinMain wWinMain
#endif
