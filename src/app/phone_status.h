// Status15, the value through which the phone's own software is asked for a send/receive and
// tells when it is over.
#pragma once

#include "platform/types.h"

// What ReadSendReceiveStatus answers when the value can't be read: the exchange is over.
constexpr LONG kStatusGone = -1;

// Writes 1 to Status15; does nothing when the key can't be opened.
void RequestSendReceive();

// The content of Status15, or kStatusGone when the key or the value can't be read.
LONG ReadSendReceiveStatus();
