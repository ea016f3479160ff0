// The Messaging program's side of the hand-off: how its soft-key bar takes a click.
#include "sim/messaging.h"

#include <cstdint>
#include <memory>
#include <string>

#include "sim/toolhelp.h"

namespace sim {

namespace {

Window& AddChild(const WString& className, DWORD processId, const Window& parent)
{
    Window& child = Phone::Get().AddWindow(className, processId, parent.handle);
    child.rect = parent.rect;
    return child;
}

// The compose window, or the message list, with the chain of first children under it.
HWND AddFrontWindow(const MessagingSetup& setup, DWORD processId)
{
    Window& dialog = Phone::Get().AddWindow(WTEXT("Dialog"), processId);
    dialog.rect = setup.windowRect;
    const Window& worker = AddChild(WTEXT("Worker"), processId, dialog);
    if (setup.front == MessagingSetup::Front::ComposeWindow) {
        const Window& html = AddChild(WTEXT("PIEHTML"), processId, worker);
        AddChild(WTEXT("PIEHTMLBody"), processId, html);
    } else {
        AddChild(WTEXT("SysListView32"), processId, worker);
    }
    return dialog.handle;
}

void DraftReachesOutbox()
{
    Messaging& messaging = TheMessaging();
    ++messaging.draftsSent;
    Phone::Get().Record("messaging", "draft moved to Outbox", {{"store", messaging.account}});
    if (messaging.onDraftSent) {
        messaging.onDraftSent();
    }
}

// The left soft key was clicked on tmail.exe's own bar: only the compose window in front, with
// its draft still in it, sends anything.
void LeftSoftKey(Millis draftDelay)
{
    Phone& phone = Phone::Get();
    Messaging& messaging = TheMessaging();
    ++messaging.leftKeyClicks;
    const Window* window = phone.FindWindow(messaging.window);
    const bool composing = window != nullptr && !window->destroyed && phone.foreground == messaging.window;
    if (!composing || !messaging.draftPending) {
        phone.Record("messaging", "left soft key", {}, {{"sends", false}});
        return;
    }
    messaging.draftPending = false;
    if (draftDelay == 0) {
        phone.Record("messaging", "left soft key", {}, {{"sends", true}});
        DraftReachesOutbox();
    } else {
        phone.Record("messaging", "left soft key", {}, {{"sends", true}, {"ms", Int(draftDelay)}});
        phone.Schedule(draftDelay, DraftReachesOutbox);
    }
}

// A click is a button press and a release, both on the left soft key: the left half of the
// bar, in client coordinates carried in lParam.
std::function<void(const MSG&)> BarReaction(RECT barRect, Millis draftDelay)
{
    auto pressed = std::make_shared<bool>(false);
    return [pressed, barRect, draftDelay](const MSG& msg) {
        const auto x = static_cast<std::int16_t>(msg.lParam & 0xFFFF);
        const auto y = static_cast<std::int16_t>((msg.lParam >> 16) & 0xFFFF);
        const bool onLeftKey =
            x >= 0 && y >= 0 && x < (barRect.right - barRect.left) / 2 && y < barRect.bottom - barRect.top;
        if (msg.message == WM_LBUTTONDOWN) {
            *pressed = onLeftKey;
        } else if (msg.message == WM_LBUTTONUP) {
            const bool clicked = *pressed && onLeftKey;
            *pressed = false;
            if (clicked) {
                LeftSoftKey(draftDelay);
            }
        }
    };
}

HWND AddBar(const MessagingSetup& setup, DWORD processId, bool own)
{
    Window& bar = Phone::Get().AddWindow(kSoftKeyBarClass, processId);
    bar.rect = setup.barRect;
    if (own) {
        bar.onPosted = BarReaction(setup.barRect, setup.draftDelay);
    }
    return bar.handle;
}

}  // namespace

Messaging& TheMessaging()
{
    return DeviceState<Messaging>();
}

Messaging& StartMessaging(const MessagingSetup& setup)
{
    Phone& phone = Phone::Get();
    Messaging& messaging = TheMessaging();
    messaging = Messaging{};
    messaging.processId = StartProcess(kMessagingExe);
    messaging.window = AddFrontWindow(setup, messaging.processId);
    messaging.draftPending = setup.front == MessagingSetup::Front::ComposeWindow;
    if (setup.bar == MessagingSetup::Bar::Own) {
        messaging.barProcessId = messaging.processId;
    } else if (setup.bar == MessagingSetup::Bar::Foreign) {
        messaging.barProcessId = StartProcess(setup.foreignBarOwner);
    }
    if (setup.bar != MessagingSetup::Bar::None) {
        messaging.softKeyBar = AddBar(setup, messaging.barProcessId, setup.bar == MessagingSetup::Bar::Own);
    }
    if (setup.inFront) {
        phone.foreground = messaging.window;
    }
    phone.Record("messaging", "started",
                 {{"window", Name{setup.front == MessagingSetup::Front::ComposeWindow ? "compose window"
                                                                                      : "message list"}},
                  {"inFront", setup.inFront}});
    return messaging;
}

}  // namespace sim
