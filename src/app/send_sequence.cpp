#include "app/send_sequence.h"

#include "app/app_state.h"
#include "app/phone_status.h"
#include "composer/hand_off.h"
#include "config/default_profile.h"
#include "hooks/hook_command.h"
#include "mapi/outbox.h"
#include "shared/thrown_message.h"

namespace {

constexpr const WCHAR* kHookSection = WTEXT("exec");

// Looks the hook up and starts it. A missing section or key is no failure: the hook is
// skipped. Answers RunHookCommand's result, or 0 when the hook was skipped.
int RunHook(const WCHAR* key)
{
    try {
        const WString command = AppState::profile->GetValue(kHookSection, key);
        return RunHookCommand(command);
    } catch (const ThrownMessage&) {
        return 0;
    }
}

// A close request that can't be queued (a full queue) would leave the run waiting for ever,
// still holding the single-instance lock, or let the next tick start the hooks again: the
// window is then destroyed at once, which ends the run the same way.
void Close(HWND window)
{
    if (PostMessageW(window, WM_CLOSE, 0, 0) == FALSE) {
        DestroyWindow(window);
    }
}

// Set by the tick that finds the exchange over. Its hooks are started through the shell, and
// the desktop shell may run a message loop of its own inside that call (DDE, for a document or
// an association) and dispatch the next tick there, before the close request is handled: such
// a tick must not look at the Outbox or start the hooks a second time.
bool exchangeOver = false;

void CreationStep(HWND window)
{
    exchangeOver = false;
    if (AppState::profile->FileMissing()) {
        WriteDefaultProfile(AppState::profile->Path());
    }
    if (HandOffForeground() == 0) {
        Close(window);
        return;
    }
    RunHook(WTEXT("before"));
    RequestSendReceive();
    if (SetTimer(window, IDT_POLL, kPollPeriodMs, nullptr) == 0) {
        Close(window);
    }
}

void TimerStep(HWND window)
{
    if (exchangeOver || ReadSendReceiveStatus() != kStatusGone) {
        return;
    }
    exchangeOver = true;
    bool handled = false;
    if (IsOutboxEmpty()) {
        handled = RunHook(WTEXT("send")) != 0;
    }
    if (!handled) {
        RunHook(WTEXT("after"));
    }
    Close(window);
}

void EnsureProfile()
{
    if (!AppState::profile) {
        AppState::profile.emplace(AppState::instance);
    }
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EnsureProfile();
    switch (message) {
        case WM_CREATE: CreationStep(window); return 0;
        case WM_TIMER: TimerStep(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

// After a failure nothing of the run goes on: only the close and its destruction are let
// through, so that the loop ends.
LRESULT AfterFailure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE:
        case WM_TIMER: return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AppState::runFailed) {
        return AfterFailure(window, message, wParam, lParam);
    }
    // Nothing may cross into the platform's dispatcher: a failure that the sequence can't
    // handle (an Outbox inspection that threw, a configuration that could not be built) ends
    // the run with a failure code.
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        AppState::runFailed = true;
        Close(window);
        return AfterFailure(window, message, wParam, lParam);
    }
}
