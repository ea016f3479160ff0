// Shared by the message-store suites: a phone fresh from the box, a logon for driving the
// wrappers directly, and readings of the trace and the store's accounts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mapi/holders.h"
#include "platform/mapi.h"
#include "shared/thrown_message.h"
#include "sim/mapi/store.h"
#include "support/phone_test.h"

class MapiTest : public PhoneTest {
protected:
    // What an inspection came to: its answer, or the text it threw.
    struct Outcome {
        std::optional<bool> answer;
        std::string thrown;  // UTF-8, for readable failures
        bool operator==(const Outcome&) const = default;
    };

    template <class Inspection>
    static Outcome Run(Inspection inspection)
    {
        try {
            return {inspection(), {}};
        } catch (const ThrownMessage& message) {
            return {std::nullopt, sim::Utf8(message.Text())};
        }
    }

    static Outcome Answer(bool answer) { return {answer, {}}; }
    static Outcome Thrown(const WCHAR* text) { return {std::nullopt, sim::Utf8(text)}; }

    static int Calls(const std::string& what) { return static_cast<int>(Phone().TraceOf(what).size()); }

    // The trace's events of these calls, in order, as "call" and the object it was made on:
    // "IUnknown::Release folder Outbox".
    static std::vector<std::string> TraceOf(const std::vector<std::string>& calls)
    {
        std::vector<std::string> found;
        for (const auto& event : Phone().Trace()) {
            for (const auto& call : calls) {
                if (event.what != call) {
                    continue;
                }
                const auto* object = event.Get<sim::Interface>("object");
                found.push_back(object == nullptr
                                    ? call
                                    : call + " " + object->kind +
                                          (object->name.empty() ? "" : " " + sim::Utf8(object->name)));
            }
        }
        return found;
    }

    static void ExpectAllGivenBack()
    {
        EXPECT_TRUE(sim::mapi::AllGivenBack()) << sim::mapi::Describe(sim::mapi::Accounting());
    }

    static LPENTRYID Bytes(sim::mapi::EntryId& id) { return reinterpret_cast<LPENTRYID>(id.data()); }
    static ULONG Size(const sim::mapi::EntryId& id) { return static_cast<ULONG>(id.size()); }
};

// MAPI started and a session logged on for the length of a test that drives wrappers itself.
class Logon {
public:
    Logon()
    {
        MAPIInitialize(nullptr);
        MAPI::Acquire(session_,
                      [](LPMAPISESSION* session) { return MAPILogonEx(0, nullptr, nullptr, 0, session); });
    }
    ~Logon()
    {
        session_.Reset();
        MAPIUninitialize();
    }
    Logon(const Logon&) = delete;
    Logon& operator=(const Logon&) = delete;

    [[nodiscard]] IMAPISession* Session() const { return session_.Get(); }

private:
    MAPI::InterfacePtr<IMAPISession> session_;
};
