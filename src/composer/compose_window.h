// Recognising the Messaging program's compose window, and pressing a program's left soft key.
#pragma once

#include "platform/types.h"

// 1 when window's first-child chain is "Dialog" / "Worker" / "PIEHTML" / any child.
int IsComposeWindow(HWND window);

// Clicks the soft-key bar at its top-left point when the bar belongs to window's process.
// Answers 1 when the press and release were posted.
int PressLeftSoftKey(HWND window);
