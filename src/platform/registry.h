// The registry.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

using REGSAM = DWORD;
using PHKEY = HKEY*;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000001U)))
constexpr DWORD REG_DWORD = 4;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegCloseKey(HKEY key);

#endif

// Desktop Windows refuses reads and writes through a key opened with no rights; the device
// ignores the rights, and opens with none.
#if defined(_WIN32) && !defined(_WIN32_WCE)
constexpr REGSAM kStatusKeyReadAccess = KEY_QUERY_VALUE;
constexpr REGSAM kStatusKeyWriteAccess = KEY_SET_VALUE;
#else
constexpr REGSAM kStatusKeyReadAccess = 0;
constexpr REGSAM kStatusKeyWriteAccess = 0;
#endif
