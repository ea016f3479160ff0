// The simulated phone set up as a scenario describes it, the other parties included.
#include "sim/runner/setup.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "sim/mapi/store.h"
#include "sim/menu.h"
#include "sim/messaging.h"
#include "sim/phone.h"
#include "sim/shell.h"
#include "sim/toolhelp.h"

namespace runner {

const char* const kInstanceMutexName = "{D606D096-49DC-43e1-93E8-BF51F4A730FF}";

namespace {

using sim::Phone;

constexpr UINT kSendAtOnce = 40001;
constexpr UINT kToOutbox = 40002;

// The phone's 480x640 screen: the window above the bar, the bar along the bottom edge.
constexpr RECT kWindowRect{0, 52, 480, 588};
constexpr RECT kBarRect{0, 588, 480, 640};

WString Wide(const std::string& text)
{
    return sim::Utf16(text);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush()) {
        throw std::runtime_error("can't write " + path.string());
    }
}

void SetUpStores(const Scenario& scenario)
{
    for (const auto& setup : scenario.stores) {
        sim::mapi::Store& store = sim::mapi::AddStore(Wide(setup.name), setup.hasOutbox);
        store.opens = setup.opens;
        for (const auto& message : setup.outbox) {
            sim::mapi::AddOutboxMessage(store, Wide(message.subject), message.opens);
        }
    }
}

// The new mail goes where the Messaging program keeps it: the account's Outbox.
void DraftIntoOutbox()
{
    sim::mapi::Store* account = sim::mapi::AccountStore();
    if (account == nullptr || sim::mapi::FindOutbox(*account) == nullptr) {
        Phone::Get().Record("messaging", "draft lost",
                            {{"store", account != nullptr ? account->Text(PR_DISPLAY_NAME_W) : WString()}},
                            {{"hasOutbox", false}});
        return;
    }
    sim::mapi::AddOutboxMessage(*account, WTEXT("the new mail"));
}

// A chain of first children under a new top-level window; answers the top-level window.
HWND AddChain(const std::vector<std::string>& chain, DWORD processId)
{
    HWND parent = nullptr;
    HWND top = nullptr;
    for (const auto& className : chain) {
        sim::Window& window = Phone::Get().AddWindow(Wide(className), processId, parent);
        window.rect = kWindowRect;
        parent = window.handle;
        if (top == nullptr) {
            top = window.handle;
        }
    }
    return top;
}

void StartMessagingProgram(const FrontSetup& front)
{
    sim::MessagingSetup setup;
    setup.front = front.window == "other" ? sim::MessagingSetup::Front::OtherWindow
                                          : sim::MessagingSetup::Front::ComposeWindow;
    setup.bar = front.bar == FrontSetup::Bar::Own       ? sim::MessagingSetup::Bar::Own
                : front.bar == FrontSetup::Bar::Foreign ? sim::MessagingSetup::Bar::Foreign
                                                        : sim::MessagingSetup::Bar::None;
    setup.inFront = front.inFront && front.chain.empty();
    setup.windowRect = kWindowRect;
    setup.barRect = kBarRect;
    setup.draftDelay = front.draftDelay;
    setup.foreignBarOwner = Wide(front.barOwner);
    sim::Messaging& messaging = sim::StartMessaging(setup);
    messaging.onDraftSent = DraftIntoOutbox;
    if (const sim::mapi::Store* account = sim::mapi::AccountStore()) {
        messaging.account = account->Text(PR_DISPLAY_NAME_W);
    }
    if (!front.chain.empty()) {
        // A window of the scenario's own making takes the place of Messaging's own; it is what
        // the scenario says it is, so only as the compose window does it hold a draft to send.
        messaging.window = AddChain(front.chain, messaging.processId);
        messaging.draftPending = front.window == "compose";
        if (front.inFront) {
            Phone::Get().foreground = messaging.window;
        }
    }
}

// Another program in front. A click on its own bar is all it reacts to, and it says so.
void StartOtherProgram(const FrontSetup& front)
{
    const DWORD processId = sim::StartProcess(Wide(front.program));
    HWND window = AddChain(front.chain, processId);
    if (front.inFront) {
        Phone::Get().foreground = window;
    }
    if (front.bar == FrontSetup::Bar::None) {
        return;
    }
    const bool own = front.bar == FrontSetup::Bar::Own;
    sim::Window& bar = Phone::Get().AddWindow(WTEXT("MS_SOFTKEY_CE_1.0"),
                                              own ? processId : sim::StartProcess(Wide(front.barOwner)));
    bar.rect = kBarRect;
    const std::string owner = own ? front.program : front.barOwner;
    bar.onPosted = [owner](const MSG& msg) {
        if (msg.message == WM_LBUTTONUP) {
            Phone::Get().Record(owner, "left soft key clicked");
        }
    };
}

// The phone's software at the end of an exchange: the Outbox is sent, or left as it was.
void ExchangeOver(bool sendsMail)
{
    sim::mapi::Store* account = sim::mapi::AccountStore();
    if (account == nullptr) {
        return;
    }
    if (!sendsMail) {
        Phone::Get().Record("phone", "mail left in the Outbox", {{"store", account->Text(PR_DISPLAY_NAME_W)}},
                            {{"messages", sim::Int(sim::mapi::OutboxCount(*account))}});
        return;
    }
    const std::size_t sent = sim::mapi::SendOutbox(*account);
    Phone::Get().Record("phone", "Outbox sent", {{"store", account->Text(PR_DISPLAY_NAME_W)}},
                        {{"messages", sim::Int(sent)}});
}

sim::RegistryValue RegistryValueOf(const RegistryValueSetup& value)
{
    return {value.type, std::vector<BYTE>(value.bytes.begin(), value.bytes.end())};
}

void SetUpPhoneService(const PhoneSetup& setup)
{
    auto& service = Phone::Get().phoneService;
    service.behaviour =
        setup.behaviour == PhoneSetup::Behaviour::NeverFinishes ? sim::PhoneService::Behaviour::NeverFinishes
        : setup.behaviour == PhoneSetup::Behaviour::KeyAbsent   ? sim::PhoneService::Behaviour::KeyAbsent
                                                                : sim::PhoneService::Behaviour::Finishes;
    service.exchangeLength = setup.exchangeLength;
    service.onExchangeOver = [sends = setup.sendsMail] { ExchangeOver(sends); };
    if (setup.statusAtEnd) {
        service.leftAtEnd = RegistryValueOf(*setup.statusAtEnd);
    }
    if (setup.statusAtStart) {
        Phone::Get().registry[sim::kPhoneStatusKey][sim::kStatusValue] =
            RegistryValueOf(*setup.statusAtStart);
    }
}

UINT_PTR MenuChoice(const std::string& menu)
{
    if (menu == "send") {
        return kSendAtOnce;
    }
    return menu == "outbox" ? kToOutbox : 0;
}

}  // namespace

RunFolder::RunFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-sim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "can't make a folder for the run");
    }
    path_ = pattern;
}

RunFolder::~RunFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void PrepareProfileFile(const Scenario& scenario, const RunFolder& folder)
{
    if (scenario.profile.state != ProfileSetup::State::Absent) {
        WriteFile(folder.ProfileFile(), scenario.profile.content);
    }
}

void SetUpPhone(const Scenario& scenario, const RunFolder& folder)
{
    Phone& phone = Phone::Get();
    phone.Reset();
    phone.moduleFileName = Wide(folder.Module().string());
    if (scenario.profile.state == ProfileSetup::State::Unreadable) {
        phone.lockedFiles.insert(Wide(folder.ProfileFile().string()));
    }
    if (scenario.alreadyRunning) {
        phone.mutexes.insert(Wide(kInstanceMutexName));
    }
    SetUpStores(scenario);
    if (scenario.front.IsMessaging()) {
        StartMessagingProgram(scenario.front);
    } else {
        StartOtherProgram(scenario.front);
    }
    sim::Menus().choice = MenuChoice(scenario.menu);
    SetUpPhoneService(scenario.phone);
    sim::Shell().reallyStart = scenario.startHooks;
    for (const auto& failure : scenario.failures) {
        phone.Fail(failure.call, failure.nth);
    }
    phone.SetTimeLimit(scenario.timeLimit);
    phone.UseRealTime(scenario.realTime);
}

}  // namespace runner
