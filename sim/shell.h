// The simulated phone's shell: what ShellExecuteExW was asked to start, and, on request, the
// program really started on the machine the simulation runs on.
#pragma once

#include <optional>
#include <set>
#include <vector>

#include "platform/shell.h"
#include "platform/text.h"
#include "platform/types.h"

namespace sim {

// One ShellExecuteExW call as the program made it. A text field the program left null is
// nullopt, so that a test can tell a null pointer from an empty text.
struct Launch {
    DWORD size = 0;  // cbSize
    ULONG mask = 0;
    HWND window = nullptr;
    std::optional<WString> verb;
    WString file;
    std::optional<WString> parameters;
    std::optional<WString> directory;
    int show = 0;
    // hInstApp, lpIDList, lpClass, hkeyClass, dwHotKey, hIcon and hProcess all zero.
    bool otherFieldsZero = false;
    // The parameters split into arguments as a Windows program would see them.
    std::vector<WString> arguments;
    BOOL result = FALSE;
    DWORD error = 0;  // the last error after the call
};

struct ShellState {
    // false: starts are only recorded; true: the program really starts, with no shell in
    // between, and is neither waited for nor left behind as a zombie; its stdout is our stderr.
    bool reallyStart = false;
    // Every call, in order.
    std::vector<Launch> launches;
    // Files that a recorded start reports as not found.
    std::set<WString> missingPrograms;
    // The shell runs a message loop of its own inside each start, as the desktop shell does for
    // a document or an association (DDE): every timer of the program delivers one WM_TIMER to
    // its window there, as when the start outlasts the timer's period. A start made from inside
    // that loop runs none.
    bool dispatchesTimers = false;
    bool inMessageLoop = false;
};

// The shell's state; Phone::Reset renews it.
ShellState& Shell();

// Splits a parameter text into arguments by the rules Windows programs apply to the text after
// their program name (CommandLineToArgvW): blanks and tabs separate arguments outside quotes;
// 2n backslashes before a quote give n backslashes and the quote opens or closes a quoted part;
// 2n+1 backslashes before a quote give n backslashes and a literal quote; other backslashes are
// literal; inside a quoted part two quotes in a row give one literal quote.
std::vector<WString> SplitParameters(WStringView parameters);

}  // namespace sim
