// The send/receive sequence, carried by the control window's procedure: the creation step
// hands the window in front to the composer and asks the phone for a send/receive, the timer
// step waits for it to end and starts the hooks, the destroy step ends the loop.
#pragma once

#include "platform/window.h"

constexpr UINT_PTR IDT_POLL = 1;
constexpr UINT kPollPeriodMs = 500;

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
