#include "app/command_line.h"

#include "app/app_state.h"

namespace {

constexpr WCHAR kSeparator = WTEXT(' ');

// The next token at or after *cursor, cut off with a terminator; null when none is left.
// Only U+0020 separates, runs of it count as one, and a tab is part of a token.
WCHAR* NextToken(WCHAR*& cursor)
{
    while (*cursor == kSeparator) {
        ++cursor;
    }
    if (*cursor == 0) {
        return nullptr;
    }
    WCHAR* token = cursor;
    while (*cursor != 0 && *cursor != kSeparator) {
        ++cursor;
    }
    if (*cursor == kSeparator) {
        *cursor++ = 0;
    }
    return token;
}

}  // namespace

void ParseCommandLine(WCHAR* commandLine)
{
    if (commandLine == nullptr) {
        return;
    }
    WCHAR* cursor = commandLine;
    while (const WCHAR* token = NextToken(cursor)) {
        const WStringView option(token);
        if (option == WTEXT("/showmenu")) {
            AppState::showMenu = 1;
        } else if (option == WTEXT("/touchleft")) {
            AppState::touchLeft = 1;
        }
    }
}
