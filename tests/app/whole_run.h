// Whole runs of the program through its entry on the simulated phone: the Messaging compose
// window in front, its draft about to be sent, the "070" account, and the phone's software.
#pragma once

#include <algorithm>

#include "app/app_state.h"
#include "config/profile_file_test.h"
#include "sim/mapi/store.h"
#include "sim/messaging.h"
#include "sim/shell.h"

class WholeRun : public ProfileFileTest {
protected:
    void SetUp() override
    {
        ProfileFileTest::SetUp();
        AppState::instance = nullptr;
        AppState::showMenu = 0;
        AppState::touchLeft = 0;
        AppState::profile.reset();
        AppState::runFailed = false;
        account_ = &sim::mapi::AddStore(u"070-1234-5678");
        sim::StartMessaging().onDraftSent = [this] { sim::mapi::AddOutboxMessage(*account_); };
        Phone().phoneService.onExchangeOver = [this] {
            if (phoneSendsMail_) {
                sim::mapi::SendOutbox(*account_);
            }
        };
    }

    // Runs the program with commandLine; the exit code, or kStillRunning when the run was
    // stopped at the phone's time limit while it was still waiting.
    static constexpr int kStillRunning = -1;
    static int Run(const char16_t* commandLine = u"")
    {
        WString line = commandLine;
        try {
            return WinMain(nullptr, nullptr, line.data(), 0);
        } catch (const sim::RunStopped& stopped) {
            EXPECT_EQ(stopped.reason, sim::RunStopped::Reason::TimeLimit)
                << "the program would wait for ever";
            return kStillRunning;
        }
    }

    // The programs started through the shell, in order.
    static std::vector<WString> Started()
    {
        std::vector<WString> files;
        for (const auto& launch : sim::Shell().launches) {
            files.push_back(launch.file);
        }
        return files;
    }

    static std::size_t Count(const std::string& call) { return Phone().TraceOf(call).size(); }
    static bool StatusWritten() { return Count("RegSetValueExW") != 0; }

    sim::mapi::Store& Account() { return *account_; }
    void PhoneLeavesMail() { phoneSendsMail_ = false; }

    // Nothing the run took from the phone is still held.
    static void ExpectNothingHeld()
    {
        EXPECT_TRUE(sim::mapi::AllGivenBack()) << sim::mapi::Describe(sim::mapi::Accounting());
        EXPECT_EQ(Phone().openKeys, 0U);
        EXPECT_EQ(Phone().OpenHandles("file"), 0U);
        EXPECT_EQ(Phone().OpenHandles("snapshot"), 0U);
    }

private:
    sim::mapi::Store* account_ = nullptr;
    bool phoneSendsMail_ = true;
};
