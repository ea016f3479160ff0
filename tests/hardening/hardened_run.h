// Whole runs used over and over in one test: each run starts from a fresh phone, and is judged
// by what must hold whatever went wrong during it.
#pragma once

#include <exception>
#include <string>

#include "app/whole_run.h"
#include "composer/hand_off.h"
#include "sim/menu.h"
#include "sim/toolhelp.h"

namespace hardening {

// An exit code no run answers: something other than the phone's own stop left WinMain.
constexpr int kEscaped = -2;

constexpr const char* kProfile = "[exec]\nbefore=before.exe\nsend=send.exe|-q\nafter=after.exe\n";

// Who is in front when the program starts.
enum class Front {
    Compose,       // the Messaging compose window, its draft about to be sent
    OtherProgram,  // another program's window, with a soft-key bar of its own
};

}  // namespace hardening

class HardenedRun : public WholeRun {
protected:
    // Back to a phone fresh from the box, in a new folder, as SetUp left it.
    void Restart()
    {
        TearDown();
        SetUp();
        otherProcess_ = 0;
        otherWindow_ = nullptr;
        otherBar_ = nullptr;
    }

    // The Messaging program stays behind without its bar; another program's window is in
    // front, and the bar on screen is that program's.
    void BringOtherProgramToFront()
    {
        Phone().FindWindow(sim::TheMessaging().softKeyBar)->destroyed = true;
        otherProcess_ = sim::StartProcess(WTEXT("cprog.exe"));
        sim::Window& window = Phone().AddWindow(WTEXT("Main"), otherProcess_);
        window.rect = RECT{0, 52, 480, 588};
        otherWindow_ = window.handle;
        sim::Window& bar = Phone().AddWindow(sim::kSoftKeyBarClass, otherProcess_);
        bar.rect = RECT{0, 588, 480, 640};
        otherBar_ = bar.handle;
        Phone().foreground = otherWindow_;
    }

    void SetFront(hardening::Front front)
    {
        if (front == hardening::Front::OtherProgram) {
            BringOtherProgramToFront();
        }
    }

    // The window in front at the start, its bar, and their process.
    [[nodiscard]] HWND FrontWindow() const
    {
        return otherWindow_ ? otherWindow_ : sim::TheMessaging().window;
    }
    [[nodiscard]] HWND FrontBar() const { return otherBar_ ? otherBar_ : sim::TheMessaging().softKeyBar; }
    [[nodiscard]] DWORD FrontProcess() const
    {
        return otherWindow_ ? otherProcess_ : sim::TheMessaging().processId;
    }

    // Runs the program; an exception other than the phone's own stop fails the test instead
    // of ending it, so that a sweep goes on to its next case.
    static int GuardedRun(const char16_t* commandLine)
    {
        try {
            return Run(commandLine);
        } catch (const std::exception& escaped) {
            ADD_FAILURE() << "an exception left the program: " << escaped.what();
        } catch (...) {
            ADD_FAILURE() << "an exception of an unknown type left the program";
        }
        return hardening::kEscaped;
    }

    // The run as the phone recorded it, one event a line, for a failure's message.
    static std::string TraceText()
    {
        std::string text;
        for (const auto& event : Phone().Trace()) {
            text += std::to_string(event.time) + " " + event.actor + " " + event.what + " " + event.Detail() +
                    "\n";
        }
        return text;
    }

    // Nothing the run took from the phone is still held, menus included.
    static void ExpectAllReleased()
    {
        ExpectNothingHeld();
        EXPECT_EQ(sim::Menus().created, sim::Menus().destroyed) << "a popup menu was never destroyed";
    }

    // The process whose window the program found in front when it looked; before it looks,
    // the one in front at the start.
    [[nodiscard]] DWORD LookedAtProcess() const
    {
        const auto looks = Phone().TraceOf("GetForegroundWindow");
        if (looks.empty()) {
            return FrontProcess();
        }
        const auto value = looks.front().Get<sim::Handle>("result")->value;
        const sim::Window* window = Phone().FindWindow(reinterpret_cast<HWND>(value));  // NOLINT
        return window != nullptr ? window->processId : 0;
    }

    // Messages posted to a window of neither the program nor the program it found in front.
    [[nodiscard]] std::string ForeignPresses() const
    {
        const DWORD front = LookedAtProcess();
        std::string found;
        for (HWND handle : Phone().WindowsInCreationOrder()) {
            const sim::Window& window = *Phone().FindWindow(handle);
            if (window.processId != front && window.processId != sim::kProgramProcessId &&
                !window.received.empty()) {
                found += sim::Utf8(window.className) + " of process " + std::to_string(window.processId) +
                         " got " + std::to_string(window.received.size()) + " messages; ";
            }
        }
        return found;
    }

    // Why the send/receive that is being asked for right now should not have been: the
    // hand-off can only have answered 1 for the Messaging program in front, after a press on
    // a bar, after "すぐに送信" when the menu was shown, with mail in the Outbox. Empty when
    // all of that holds.
    [[nodiscard]] std::string RefusedRequest()
    {
        std::string reasons;
        if (otherWindow_ != nullptr) {
            reasons += "another program was in front; ";
        }
        if (PressesTried() == 0) {
            reasons += "no soft key was pressed; ";
        }
        const auto& shown = sim::Menus().shown;
        if (AppState::showMenu != 0 && (shown.empty() || shown.back().chosen != IDM_SEND_AT_ONCE)) {
            reasons += "the menu did not answer \"send\"; ";
        }
        if (sim::mapi::OutboxCount(Account()) == 0) {
            reasons += "the Outbox is empty; ";
        }
        return reasons;
    }

    // Every press posted to a bar, whether or not the post went through.
    static std::size_t PressesTried()
    {
        std::size_t presses = 0;
        for (const auto& event : Phone().TraceOf("PostMessageW")) {
            presses += event.Get<sim::Name>("message")->text == "WM_LBUTTONDOWN" ? 1 : 0;
        }
        return presses;
    }

    // Watches the run for the request to the phone; the reasons it should not have been made
    // land in refusal.
    void WatchStatusRequest(std::string& refusal)
    {
        Phone().onRecord = [this, &refusal](const sim::TraceEvent& event) {
            if (event.what == "RegSetValueExW" && refusal.empty()) {
                refusal = RefusedRequest();
            }
        };
    }

private:
    DWORD otherProcess_ = 0;
    HWND otherWindow_ = nullptr;
    HWND otherBar_ = nullptr;
};
