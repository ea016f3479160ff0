// Wide text as the platform has it: UTF-16 code units on every build.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>  // WCHAR is wchar_t, 16 bits
#else
using WCHAR = char16_t;
#endif

static_assert(sizeof(WCHAR) == 2, "program text is UTF-16 code units");

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;

// A wide literal of the platform's kind: L"..." on Windows, u"..." elsewhere.
#ifdef _WIN32
#define WTEXT_JOIN(prefix, s) prefix##s
#define WTEXT(s) WTEXT_JOIN(L, s)
#else
#define WTEXT_JOIN(prefix, s) prefix##s
#define WTEXT(s) WTEXT_JOIN(u, s)
#endif
