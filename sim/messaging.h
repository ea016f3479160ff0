// The Messaging program ("tmail.exe") as another party on the simulated phone: its process,
// its window in front (the compose window or another of its windows), and a soft-key bar. A
// click on the left soft key of its own bar while its compose window is in front sends the
// draft into the account's Outbox, at once or after a set delay.
#pragma once

#include <functional>

#include "platform/text.h"
#include "platform/types.h"
#include "sim/phone.h"

namespace sim {

inline constexpr const WCHAR* kMessagingExe = WTEXT("tmail.exe");
inline constexpr const WCHAR* kSoftKeyBarClass = WTEXT("MS_SOFTKEY_CE_1.0");

struct MessagingSetup {
    enum class Front {
        ComposeWindow,  // "Dialog" / "Worker" / "PIEHTML" / a body window
        OtherWindow,    // the message list: "Dialog" / "Worker" / "SysListView32"
    };
    enum class Bar {
        Own,      // the bar belongs to tmail.exe
        Foreign,  // the only bar belongs to another program (foreignBarOwner)
        None,     // no soft-key bar at all
    };
    Front front = Front::ComposeWindow;
    Bar bar = Bar::Own;
    bool inFront = true;
    // The phone's 480x640 screen: the window above the bar, the bar along the bottom edge.
    RECT windowRect{0, 52, 480, 588};
    RECT barRect{0, 588, 480, 640};
    // Between the click and the draft reaching the Outbox; 0 moves it while the click is posted.
    Millis draftDelay = 0;
    WString foreignBarOwner = WTEXT("cprog.exe");
};

struct Messaging {
    DWORD processId = 0;
    HWND window = nullptr;      // the compose window, or the other window
    HWND softKeyBar = nullptr;  // own or foreign; null when the set-up has none
    DWORD barProcessId = 0;
    bool draftPending = false;  // the compose window holds a draft not yet sent
    int leftKeyClicks = 0;      // clicks on the left soft key of tmail.exe's own bar
    int draftsSent = 0;         // drafts that have reached the Outbox
    // Connected by whoever keeps the message store: called as each draft reaches the Outbox.
    std::function<void()> onDraftSent;
    // The store whose Outbox it sends drafts into, as the trace names it; empty when unknown.
    WString account;
};

// Starts tmail.exe (and, for a foreign bar, the bar's program) with its windows, as setup
// says. Call once after Phone::Reset; connect onDraftSent on the answer.
Messaging& StartMessaging(const MessagingSetup& setup = {});

// The Messaging program as last started; Phone::Reset renews it.
Messaging& TheMessaging();

}  // namespace sim
