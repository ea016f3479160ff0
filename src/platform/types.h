// The basic Win32 types. On Windows these are the SDK's own; elsewhere the same names with
// the same sizes as on the device (LONG and DWORD are 32 bits even where long is 64).
#pragma once

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = int;
using ATOM = WORD;
using HRESULT = LONG;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

#define QUILLET_DECLARE_HANDLE(name) \
    struct name##__ {                \
        int unused;                  \
    };                               \
    using name = name##__*  // NOLINT(bugprone-macro-parentheses)
QUILLET_DECLARE_HANDLE(HWND);
QUILLET_DECLARE_HANDLE(HINSTANCE);
QUILLET_DECLARE_HANDLE(HKEY);
QUILLET_DECLARE_HANDLE(HMENU);
QUILLET_DECLARE_HANDLE(HICON);
QUILLET_DECLARE_HANDLE(HBRUSH);
#undef QUILLET_DECLARE_HANDLE
using HANDLE = void*;
using HGDIOBJ = void*;
using HCURSOR = HICON;
using HMODULE = HINSTANCE;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE object);
#endif
