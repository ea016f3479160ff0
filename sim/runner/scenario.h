// A scenario: the simulated phone as it stands when Quillet is started, the other parties'
// behaviour, and how the run is carried out. Read from JSON (docs/scenarios.md); every field
// has a default, so "{}" is a valid scenario.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace runner {

struct OutboxMessage {
    std::string subject = "mail";
    bool opens = true;
};

struct StoreSetup {
    std::string name;
    bool opens = true;
    bool hasOutbox = true;
    std::vector<OutboxMessage> outbox;
};

struct FrontSetup {
    enum class Bar { Own, Foreign, None };
    std::string program = "tmail.exe";
    // For the Messaging program, what its window in front is: "compose" (a click on its left
    // soft key sends the draft) or "other"; empty for another program.
    std::string window = "compose";
    // The window's chain of first children, top-level window first, when the scenario gives it;
    // empty for the Messaging program's own compose window or message list.
    std::vector<std::string> chain;
    bool inFront = true;
    Bar bar = Bar::Own;
    std::string barOwner = "cprog.exe";
    std::int64_t draftDelay = 0;

    [[nodiscard]] bool IsMessaging() const { return program == "tmail.exe"; }
};

struct ProfileSetup {
    enum class State { Present, Absent, Unreadable };
    State state = State::Present;
    std::string content;  // the bytes as the file holds them
};

// A registry value as a scenario gives it: its type (REG_DWORD, REG_SZ or REG_BINARY, as the
// platform numbers them) and its bytes as the registry keeps them.
struct RegistryValueSetup {
    std::uint32_t type = 4;  // REG_DWORD
    std::string bytes;
};

struct PhoneSetup {
    enum class Behaviour { Finishes, NeverFinishes, KeyAbsent };
    Behaviour behaviour = Behaviour::Finishes;
    std::int64_t exchangeLength = 2000;
    bool sendsMail = true;                            // false: the exchange leaves the Outbox as it was
    std::optional<RegistryValueSetup> statusAtStart;  // Status15 before Quillet starts; none without
    std::optional<RegistryValueSetup> statusAtEnd;    // left by an exchange that ends; removed without
};

struct Failure {
    std::string call;
    int nth = 0;  // 0: every call; otherwise only the nth
};

struct Scenario {
    std::string description;
    std::string commandLine;
    bool realTime = false;
    bool startHooks = false;  // false: hooks are only recorded
    std::int64_t timeLimit = 60000;
    bool alreadyRunning = false;
    // When a second copy is started, in ms from the first copy's start; it starts only while
    // the first copy still runs.
    std::optional<std::int64_t> secondCopyAt;
    std::string menu = "send";  // "send", "outbox" or "dismiss"
    FrontSetup front;
    ProfileSetup profile;
    std::vector<StoreSetup> stores;
    PhoneSetup phone;
    std::vector<Failure> failures;
};

// A scenario that can't be used: where it came from, the place in it (a JSON pointer, empty
// for the file as a whole) and what is wrong.
class ScenarioError : public std::runtime_error {
public:
    ScenarioError(const std::string& source, const std::string& pointer, const std::string& problem);
    [[nodiscard]] const std::string& Source() const { return source_; }
    [[nodiscard]] const std::string& Pointer() const { return pointer_; }

private:
    std::string source_;
    std::string pointer_;
};

// The file can't be read at all (missing, a folder, no permission).
class ScenarioFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a scenario from JSON text; source names it in messages. Throws ScenarioError.
Scenario ParseScenario(const std::string& text, const std::string& source);

// The largest scenario file read: a hundred thousand stores fit in it many times over.
constexpr std::size_t kLargestScenario = std::size_t{64} << 20;

// Reads and parses a scenario file. Throws ScenarioFileError or ScenarioError (also for a
// file larger than kLargestScenario).
Scenario LoadScenario(const std::string& path);

// The built-in default scenario as JSON text, and parsed.
const std::string& DefaultScenarioText();
Scenario DefaultScenario();

// The calls a scenario can make fail, by the names Failure::call takes: those the simulated
// phone can fail that some path of the program makes.
const std::vector<std::string>& InjectableCalls();

// Calls the simulated phone can fail that no path of the program makes, so that a failure
// planned there could never come to pass.
const std::vector<std::string>& CallsNeverMade();

}  // namespace runner
