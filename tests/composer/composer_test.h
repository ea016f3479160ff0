// The fixture of the composer's tests: a fresh phone, both options off, and an Outbox whose
// answer the test sets.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "sim/messaging.h"
#include "sim/phone.h"
#include "sim/toolhelp.h"
#include "support/phone_test.h"

struct FakeOutbox {
    enum class Answer { Empty, Mail, Fails };
    Answer answer = Answer::Empty;
    int asked = 0;
};

// Renewed by Phone::Reset like the rest of the phone.
inline FakeOutbox& Outbox()
{
    return sim::DeviceState<FakeOutbox>();
}

// Names a parameterised case after its "name" field, in the characters test names allow.
struct CaseName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& param) const
    {
        std::string name = param.param.name;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; },
            '_');
        return name;
    }
};

class ComposerTest : public PhoneTest {
protected:
    void SetUp() override
    {
        PhoneTest::SetUp();
        AppState::showMenu = 0;
        AppState::touchLeft = 0;
    }

    // Every message the program posted, to any window.
    static std::vector<sim::TraceEvent> Posts() { return Phone().TraceOf("PostMessageW"); }

    // Index of the first trace event of this call, or the trace's size when there is none.
    static std::size_t FirstIndexOf(const std::string& what)
    {
        const auto& trace = Phone().Trace();
        const auto found = std::find_if(trace.begin(), trace.end(),
                                        [&](const sim::TraceEvent& event) { return event.what == what; });
        return static_cast<std::size_t>(found - trace.begin());
    }

    // A program other than Messaging in front, with a soft-key bar of its own.
    static HWND StartOtherProgram(const WString& exeFile)
    {
        const DWORD id = sim::StartProcess(exeFile);
        HWND window = Phone().AddWindow(WTEXT("Dialog"), id).handle;
        Phone().AddWindow(sim::kSoftKeyBarClass, id);
        Phone().foreground = window;
        return window;
    }

    // Renames tmail.exe's entry in the process list, as if the snapshot reported it so.
    static void RenameMessaging(const WString& exeFile)
    {
        for (auto& entry : sim::Processes().entries) {
            if (entry.id == sim::TheMessaging().processId) {
                entry.exeFile = exeFile;
            }
        }
    }
};
