// Text in one of the platform's code pages, turned into the program's UTF-16.
#pragma once

#include "platform/types.h"

// The phone's ANSI code page: Shift-JIS, as Windows defines it (932).
constexpr UINT kAnsiCodePage = 932;

#ifndef _WIN32

using LPCSTR = const char*;

// The simulated phone decodes code page 932 through the C library's own converter; any other
// code page fails with ERROR_INVALID_PARAMETER.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount);

#endif
// Desktop Windows declares MultiByteToWideChar in windows.h and kernel32 exports it; the
// device's SDK declares it the same way, and coredll exports it under the same name.
