// Handing the window in front over to the Messaging program's compose window.
#pragma once

#include "platform/text.h"
#include "platform/types.h"

// Looks at the program in front and presses what is to be pressed. Answers 1 when the mail
// was sent into the Outbox and mail waits there, so that a send/receive is to follow.
int HandOffForeground();

// The executable name of the process that owns window; empty when no running process owns
// it. Throws ThrownMessage when the process list can't be read.
WString GetWindowExeName(HWND window);

// The send-choice menu's commands, top to bottom.
constexpr UINT IDM_SEND_AT_ONCE = 40001;  // "すぐに送信": send, then look at the Outbox
constexpr UINT IDM_TO_OUTBOX = 40002;     // "「送信トレイ」へ": send into the Outbox only

// The Messaging program's window in front: the compose window is sent (optionally after the
// send-choice menu), any other window just has its left soft key pressed.
int HandOffToComposer(HWND window);
int ShowSendMenu(HWND window);
int SendAndCheckOutbox(HWND window);
