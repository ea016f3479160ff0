// Reading a scenario: strict, so that a misspelt field or a wrong type is reported where it
// stands instead of being quietly replaced by a default.
#include "sim/runner/scenario.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>

#include "sim/phone.h"

namespace runner {

namespace {

using Json = nlohmann::json;

constexpr std::int64_t kLongestRun = std::int64_t{24} * 60 * 60 * 1000;

const char* const kDefaultProfile =
    "[exec]\n"
    "before=\\Windows\\before.exe|--sending\n"
    "send=\\Windows\\send.exe\n"
    "after=\\Windows\\after.exe\n";

std::string Escaped(const std::string& key)
{
    std::string escaped;
    for (const char c : key) {
        if (c == '~') {
            escaped += "~0";
        } else if (c == '/') {
            escaped += "~1";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string Listed(std::initializer_list<const char*> names)
{
    std::string text;
    for (const char* name : names) {
        text += (text.empty() ? "" : ", ") + std::string("\"") + name + "\"";
    }
    return text;
}

// One JSON value and where it stands in the file.
class Place {
public:
    Place(const Json& value, std::string pointer, const std::string& source)
        : value_(value), pointer_(std::move(pointer)), source_(source)
    {
    }

    [[noreturn]] void Fail(const std::string& problem) const
    {
        throw ScenarioError(source_, pointer_, problem);
    }

    [[nodiscard]] const Json& Value() const { return value_; }
    [[nodiscard]] Place Child(const Json& value, const std::string& step) const
    {
        return {value, pointer_ + "/" + Escaped(step), source_};
    }

    void Expect(bool fits, const char* expected) const
    {
        if (!fits) {
            Fail(std::string("expected ") + expected + ", found " + value_.type_name());
        }
    }

    [[nodiscard]] std::string String() const
    {
        Expect(value_.is_string(), "a string");
        return value_.get<std::string>();
    }
    [[nodiscard]] bool Bool() const
    {
        Expect(value_.is_boolean(), "true or false");
        return value_.get<bool>();
    }
    // A number beyond the range is "too large" or "too small", also one that JSON can only
    // carry as a floating-point number (1e20, or more digits than 64 bits hold).
    [[nodiscard]] std::int64_t Integer(std::int64_t least, std::int64_t most) const
    {
        const std::string range = "an integer from " + std::to_string(least) + " to " + std::to_string(most);
        if (value_.is_number_float() && value_.get<double>() > static_cast<double>(most)) {
            Fail("too large: expected " + range);
        }
        if (value_.is_number_float() && value_.get<double>() < static_cast<double>(least)) {
            Fail("too small: expected " + range);
        }
        Expect(value_.is_number_integer(), "an integer");
        if (value_.is_number_unsigned() && value_.get<std::uint64_t>() > static_cast<std::uint64_t>(most)) {
            Fail("too large: expected " + range + ", found " + std::to_string(value_.get<std::uint64_t>()));
        }
        const auto number = value_.get<std::int64_t>();
        if (number < least || number > most) {
            Fail((number < least ? "too small: expected " : "too large: expected ") + range + ", found " +
                 std::to_string(number));
        }
        return number;
    }
    [[nodiscard]] std::string Choice(std::initializer_list<const char*> allowed) const
    {
        std::string chosen = String();
        if (std::none_of(allowed.begin(), allowed.end(), [&](const char* name) { return chosen == name; })) {
            Fail("expected one of " + Listed(allowed) + ", found \"" + chosen + "\"");
        }
        return chosen;
    }

private:
    const Json& value_;
    std::string pointer_;
    const std::string& source_;
};

// A JSON object whose every field must be one of the allowed names.
class Fields {
public:
    Fields(const Place& place, std::initializer_list<const char*> allowed) : place_(place)
    {
        place.Expect(place.Value().is_object(), "an object");
        for (const auto& item : place.Value().items()) {
            if (std::none_of(allowed.begin(), allowed.end(),
                             [&](const char* name) { return item.key() == name; })) {
                place.Child(item.value(), item.key())
                    .Fail("unknown field; the fields here are " + Listed(allowed));
            }
        }
    }

    [[nodiscard]] std::optional<Place> Find(const char* name) const
    {
        const auto found = place_.Value().find(name);
        if (found == place_.Value().end()) {
            return std::nullopt;
        }
        return place_.Child(*found, name);
    }

    void String(const char* name, std::string& field) const
    {
        if (auto place = Find(name)) {
            field = place->String();
        }
    }
    void Bool(const char* name, bool& field) const
    {
        if (auto place = Find(name)) {
            field = place->Bool();
        }
    }
    void Integer(const char* name, std::int64_t& field, std::int64_t least, std::int64_t most) const
    {
        if (auto place = Find(name)) {
            field = place->Integer(least, most);
        }
    }
    [[nodiscard]] std::optional<std::string> Choice(const char* name,
                                                    std::initializer_list<const char*> allowed) const
    {
        if (auto place = Find(name)) {
            return place->Choice(allowed);
        }
        return std::nullopt;
    }
    [[nodiscard]] const Place& Self() const { return place_; }

private:
    Place place_;
};

std::vector<std::string> Strings(const Place& place)
{
    place.Expect(place.Value().is_array(), "an array of strings");
    std::vector<std::string> strings;
    for (std::size_t i = 0; i < place.Value().size(); ++i) {
        strings.push_back(place.Child(place.Value()[i], std::to_string(i)).String());
    }
    return strings;
}

FrontSetup::Bar BarOf(const std::string& name)
{
    if (name == "foreign") {
        return FrontSetup::Bar::Foreign;
    }
    return name == "none" ? FrontSetup::Bar::None : FrontSetup::Bar::Own;
}

// The Messaging program acts on what the scenario says its window is, never on a reading of
// the classes given: with a chain of its own, the scenario says which it is.
FrontSetup ReadFront(const Place& place)
{
    const Fields fields(place, {"program", "window", "windowIs", "inFront", "bar", "barOwner", "draftDelay"});
    FrontSetup front;
    fields.String("program", front.program);
    const auto window = fields.Find("window");
    const auto windowIs = fields.Find("windowIs");
    if (window && window->Value().is_array()) {
        front.chain = Strings(*window);
        if (front.chain.empty()) {
            window->Fail("expected at least one window class");
        }
    } else if (window) {
        window->Expect(window->Value().is_string(), R"("compose", "other" or an array of window classes)");
        front.window = window->Choice({"compose", "other"});
    }
    if (!front.IsMessaging()) {
        // Another program's window: its class chain is its own, never Messaging's names.
        if (window && front.chain.empty()) {
            window->Fail("another program's window is given as an array of window classes");
        }
        if (windowIs) {
            windowIs->Fail(R"(only the Messaging program's window is "compose" or "other")");
        }
        front.window.clear();
        if (front.chain.empty()) {
            front.chain = {"Main"};
        }
    } else if (!front.chain.empty()) {
        if (!windowIs) {
            window->Fail(
                R"(the Messaging program's window given as an array needs "windowIs": "compose" or "other", to say what it is)");
        }
        front.window = windowIs->Choice({"compose", "other"});
    } else if (windowIs) {
        windowIs->Fail(
            R"("windowIs" goes with a window given as an array; "window" already says what it is)");
    }
    fields.Bool("inFront", front.inFront);
    if (auto bar = fields.Choice("bar", {"own", "foreign", "none"})) {
        front.bar = BarOf(*bar);
    }
    fields.String("barOwner", front.barOwner);
    fields.Integer("draftDelay", front.draftDelay, 0, kLongestRun);
    return front;
}

// The bytes that base64 text stands for (RFC 4648, padding required where the length needs it,
// no blanks or line breaks).
std::string Base64Bytes(const Place& place)
{
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string text = place.String();
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    if (text.size() % 4 != 0) {
        place.Fail("base64 comes in groups of four characters; this is " + std::to_string(text.size()) +
                   " long");
    }
    std::string bytes;
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const auto digit = kAlphabet.find(text[i]);
        if (digit == std::string_view::npos) {
            place.Fail("\"" + text.substr(i, 1) + "\" at " + std::to_string(i) +
                       " is not a base64 character");
        }
        bits = (bits << 6U) | static_cast<std::uint32_t>(digit);
        if (i % 4 == 3) {
            bytes += {static_cast<char>(bits >> 16U), static_cast<char>(bits >> 8U), static_cast<char>(bits)};
        }
    }
    if (padding == 1) {
        bytes += {static_cast<char>(bits >> 10U), static_cast<char>(bits >> 2U)};
    } else if (padding == 2) {
        bytes += static_cast<char>(bits >> 4U);
    }
    return bytes;
}

ProfileSetup ReadProfile(const Place& place)
{
    const Fields fields(place, {"state", "lines", "content", "base64"});
    ProfileSetup profile;
    profile.content = kDefaultProfile;
    if (auto state = fields.Choice("state", {"present", "absent", "unreadable"})) {
        profile.state = *state == "absent"       ? ProfileSetup::State::Absent
                        : *state == "unreadable" ? ProfileSetup::State::Unreadable
                                                 : ProfileSetup::State::Present;
    }
    const auto lines = fields.Find("lines");
    const auto content = fields.Find("content");
    const auto base64 = fields.Find("base64");
    if ((lines ? 1 : 0) + (content ? 1 : 0) + (base64 ? 1 : 0) > 1) {
        (base64 ? base64 : content)
            ->Fail(R"(give the file as "lines", "content" or "base64", only one of them)");
    }
    if (lines) {
        profile.content.clear();
        for (const auto& line : Strings(*lines)) {
            profile.content += line + "\n";
        }
    }
    if (content) {
        profile.content = content->String();
    }
    if (base64) {
        profile.content = Base64Bytes(*base64);
    }
    if (profile.state == ProfileSetup::State::Absent && (lines || content || base64)) {
        fields.Self().Fail("an absent file has no content");
    }
    return profile;
}

OutboxMessage ReadMessage(const Place& place)
{
    OutboxMessage message;
    if (place.Value().is_string()) {
        message.subject = place.String();
        return message;
    }
    place.Expect(place.Value().is_object(), "a subject or an object");
    const Fields fields(place, {"subject", "opens"});
    fields.String("subject", message.subject);
    fields.Bool("opens", message.opens);
    return message;
}

StoreSetup ReadStore(const Place& place)
{
    const Fields fields(place, {"name", "opens", "hasOutbox", "outbox"});
    StoreSetup store;
    const auto name = fields.Find("name");
    if (!name) {
        place.Fail("a store needs a \"name\"");
    }
    store.name = name->String();
    fields.Bool("opens", store.opens);
    fields.Bool("hasOutbox", store.hasOutbox);
    if (auto outbox = fields.Find("outbox")) {
        outbox->Expect(outbox->Value().is_array(), "an array of messages");
        if (!store.hasOutbox && !outbox->Value().empty()) {
            outbox->Fail("a store without an Outbox holds no Outbox messages");
        }
        for (std::size_t i = 0; i < outbox->Value().size(); ++i) {
            store.outbox.push_back(ReadMessage(outbox->Child(outbox->Value()[i], std::to_string(i))));
        }
    }
    return store;
}

std::vector<StoreSetup> ReadStores(const Place& place)
{
    place.Expect(place.Value().is_array(), "an array of stores");
    std::vector<StoreSetup> stores;
    for (std::size_t i = 0; i < place.Value().size(); ++i) {
        stores.push_back(ReadStore(place.Child(place.Value()[i], std::to_string(i))));
    }
    return stores;
}

// {"dword": n}, {"string": text} or {"binary": base64}: one of them.
RegistryValueSetup ReadRegistryValue(const Place& place)
{
    const Fields fields(place, {"dword", "string", "binary"});
    if (place.Value().size() != 1) {
        place.Fail(R"(give the value as one of "dword", "string" or "binary")");
    }
    RegistryValueSetup value;
    if (auto dword = fields.Find("dword")) {
        value.type = REG_DWORD;
        const auto number = static_cast<std::uint32_t>(dword->Integer(0, 0xFFFFFFFF));
        value.bytes = {static_cast<char>(number), static_cast<char>(number >> 8U),
                       static_cast<char>(number >> 16U), static_cast<char>(number >> 24U)};
    } else if (auto text = fields.Find("string")) {
        value.type = sim::kRegString;
        for (const WCHAR unit : sim::Utf16(text->String())) {
            value.bytes += {static_cast<char>(unit), static_cast<char>(unit >> 8U)};
        }
        value.bytes += std::string(2, '\0');
    } else {
        value.type = sim::kRegBinary;
        value.bytes = Base64Bytes(*fields.Find("binary"));
    }
    return value;
}

PhoneSetup ReadPhone(const Place& place)
{
    const Fields fields(place, {"behaviour", "exchangeLength", "sendsMail", "statusAtStart", "statusAtEnd"});
    PhoneSetup phone;
    if (auto behaviour = fields.Choice("behaviour", {"finishes", "neverFinishes", "keyAbsent"})) {
        phone.behaviour = *behaviour == "neverFinishes" ? PhoneSetup::Behaviour::NeverFinishes
                          : *behaviour == "keyAbsent"   ? PhoneSetup::Behaviour::KeyAbsent
                                                        : PhoneSetup::Behaviour::Finishes;
    }
    fields.Integer("exchangeLength", phone.exchangeLength, 0, kLongestRun);
    fields.Bool("sendsMail", phone.sendsMail);
    if (auto start = fields.Find("statusAtStart")) {
        if (phone.behaviour == PhoneSetup::Behaviour::KeyAbsent) {
            start->Fail("without the key (\"keyAbsent\") there is no Status15 to start with");
        }
        phone.statusAtStart = ReadRegistryValue(*start);
    }
    if (auto end = fields.Find("statusAtEnd")) {
        if (phone.behaviour != PhoneSetup::Behaviour::Finishes) {
            end->Fail("only an exchange that finishes (\"finishes\") leaves a value at its end");
        }
        phone.statusAtEnd = ReadRegistryValue(*end);
    }
    return phone;
}

Failure ReadFailure(const Place& place)
{
    const Fields fields(place, {"call", "nth"});
    const auto call = fields.Find("call");
    if (!call) {
        place.Fail("a failure needs a \"call\"");
    }
    Failure failure{call->String(), 0};
    const auto& known = InjectableCalls();
    if (std::find(known.begin(), known.end(), failure.call) == known.end()) {
        std::string names;
        for (const auto& name : known) {
            names += (names.empty() ? "" : ", ") + name;
        }
        const auto& never = CallsNeverMade();
        call->Fail((std::find(never.begin(), never.end(), failure.call) != never.end()
                        ? "the program never calls \"" + failure.call + "\", so it can't fail"
                        : "the simulated phone can't make \"" + failure.call + "\" fail") +
                   "; the calls that can fail are " + names);
    }
    std::int64_t nth = 0;
    fields.Integer("nth", nth, 0, std::numeric_limits<int>::max());
    failure.nth = static_cast<int>(nth);
    return failure;
}

std::vector<Failure> ReadFailures(const Place& place)
{
    place.Expect(place.Value().is_array(), "an array of failures");
    std::vector<Failure> failures;
    for (std::size_t i = 0; i < place.Value().size(); ++i) {
        const Place item = place.Child(place.Value()[i], std::to_string(i));
        Failure failure = ReadFailure(item);
        // The phone keeps one plan per call, so a second entry would silently replace the first.
        if (std::any_of(failures.begin(), failures.end(),
                        [&](const Failure& f) { return f.call == failure.call; })) {
            item.Fail("\"" + failure.call + "\" is already planned to fail; give each call once");
        }
        failures.push_back(std::move(failure));
    }
    return failures;
}

Scenario Read(const Place& root)
{
    const Fields fields(root, {"description", "commandLine", "time", "timeLimit", "hooks", "alreadyRunning",
                               "secondCopyAt", "menu", "front", "profile", "stores", "phone", "failures"});
    Scenario scenario;
    scenario.profile.content = kDefaultProfile;
    scenario.stores = {StoreSetup{"070-1234-5678", true, true, {}}};
    fields.String("description", scenario.description);
    fields.String("commandLine", scenario.commandLine);
    if (const auto nul = scenario.commandLine.find('\0'); nul != std::string::npos) {
        fields.Find("commandLine")
            ->Fail("a command line can't hold a NUL character (the first at byte " + std::to_string(nul) +
                   "): the program would see only what stands before it");
    }
    if (auto time = fields.Choice("time", {"virtual", "real"})) {
        scenario.realTime = *time == "real";
    }
    fields.Integer("timeLimit", scenario.timeLimit, 0, kLongestRun);
    if (auto hooks = fields.Choice("hooks", {"recorded", "started"})) {
        scenario.startHooks = *hooks == "started";
    }
    fields.Bool("alreadyRunning", scenario.alreadyRunning);
    if (fields.Find("secondCopyAt")) {
        std::int64_t at = 0;
        fields.Integer("secondCopyAt", at, 0, kLongestRun);
        scenario.secondCopyAt = at;
    }
    if (auto menu = fields.Choice("menu", {"send", "outbox", "dismiss"})) {
        scenario.menu = *menu;
    }
    if (auto front = fields.Find("front")) {
        scenario.front = ReadFront(*front);
    }
    if (auto profile = fields.Find("profile")) {
        scenario.profile = ReadProfile(*profile);
    }
    if (auto stores = fields.Find("stores")) {
        scenario.stores = ReadStores(*stores);
    }
    if (auto phone = fields.Find("phone")) {
        scenario.phone = ReadPhone(*phone);
    }
    if (auto failures = fields.Find("failures")) {
        scenario.failures = ReadFailures(*failures);
        // A second copy that got past the lock would run its whole pass inside the first one's
        // message loop, sharing its state: one process can't show two copies at once.
        if (scenario.secondCopyAt && std::any_of(scenario.failures.begin(), scenario.failures.end(),
                                                 [](const Failure& f) { return f.call == "CreateMutexW"; })) {
            failures->Fail(
                "a failure of \"CreateMutexW\" can't be given with secondCopyAt: both copies would run");
        }
    }
    return scenario;
}

// The parser's own message without its "[json.exception...] " tag. Besides malformed text the
// parser throws on a number too large for a double (out_of_range), which is the text's fault
// just the same.
std::string ParseProblem(const nlohmann::json::exception& error)
{
    std::string text = error.what();
    const auto tagEnd = text.find("] ");
    if (text.starts_with("[json.exception") && tagEnd != std::string::npos) {
        text.erase(0, tagEnd + 2);
    }
    return "not valid JSON: " + text;
}

// Where the nth key of the text stands (counted from 1, in the order a parser meets them),
// as "line L, column C" with columns counted in characters. The text is valid JSON: a key is
// a string followed by a colon.
std::string KeyPlace(std::string_view text, std::size_t nth)
{
    std::size_t line = 1;
    std::size_t lineStart = 0;
    std::size_t keys = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
        if (text[i] != '"') {
            continue;
        }
        const std::size_t start = i;
        for (++i; text[i] != '"'; ++i) {
            i += text[i] == '\\' ? 1 : 0;
        }
        const auto next = text.find_first_not_of(" \t\r\n", i + 1);
        if (next != std::string_view::npos && text[next] == ':' && ++keys == nth) {
            const auto column =
                std::count_if(text.begin() + static_cast<std::ptrdiff_t>(lineStart),
                              text.begin() + static_cast<std::ptrdiff_t>(start) + 1,
                              [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U; });
            return "line " + std::to_string(line) + ", column " + std::to_string(column);
        }
    }
    return "an unknown place";
}

// Watches the parser for a key given twice in one object, which JSON parsers take silently
// (the last one wins): a misspelt copy of a field would lose a value without a word.
class RepeatedKeys {
public:
    bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed)
    {
        switch (event) {
            case Json::parse_event_t::object_start:
            case Json::parse_event_t::array_start:
                objects_.push_back({event == Json::parse_event_t::object_start, ChildPointer(), {}, {}, 0});
                break;
            case Json::parse_event_t::key: Key(parsed.get<std::string>()); break;
            case Json::parse_event_t::value:
                if (!objects_.empty() && !objects_.back().isObject) {
                    ++objects_.back().index;
                }
                break;
            case Json::parse_event_t::object_end:
            case Json::parse_event_t::array_end: objects_.pop_back(); break;
        }
        return true;
    }

    // Throws for the first key given twice.
    void Check(std::string_view text, const std::string& source) const
    {
        if (repeated_) {
            throw ScenarioError(source, repeated_->pointer,
                                "given twice in one object, at " + KeyPlace(text, repeated_->first) +
                                    " and at " + KeyPlace(text, repeated_->second) +
                                    "; give each field once");
        }
    }

private:
    struct Open {
        bool isObject = true;
        std::string pointer;
        std::map<std::string, std::size_t> keys;  // to the place each was first given, in keys
        std::string key;                          // an object's latest key
        std::size_t index = 0;                    // an array's next element
    };
    struct Repeated {
        std::string pointer;
        std::size_t first = 0;
        std::size_t second = 0;
    };

    std::string ChildPointer()
    {
        if (objects_.empty()) {
            return "";
        }
        Open& parent = objects_.back();
        return parent.pointer + "/" +
               (parent.isObject ? Escaped(parent.key) : std::to_string(parent.index++));
    }

    void Key(const std::string& key)
    {
        ++keys_;
        Open& object = objects_.back();
        object.key = key;
        const auto [first, added] = object.keys.emplace(key, keys_);
        if (!added && !repeated_) {
            repeated_ = Repeated{object.pointer + "/" + Escaped(key), first->second, keys_};
        }
    }

    std::vector<Open> objects_;
    std::size_t keys_ = 0;
    std::optional<Repeated> repeated_;
};

}  // namespace

ScenarioError::ScenarioError(const std::string& source, const std::string& pointer,
                             const std::string& problem)
    : std::runtime_error(source + ": " + (pointer.empty() ? std::string() : pointer + ": ") + problem),
      source_(source),
      pointer_(pointer)
{
}

Scenario ParseScenario(const std::string& text, const std::string& source)
{
    Json root;
    RepeatedKeys repeated;
    try {
        root = Json::parse(text, std::ref(repeated));
    } catch (const nlohmann::json::exception& error) {
        throw ScenarioError(source, "", ParseProblem(error));
    }
    repeated.Check(text, source);
    return Read(Place(root, "", source));
}

Scenario LoadScenario(const std::string& path)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw ScenarioFileError(path + ": can't open the scenario: it is a folder");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ScenarioFileError(
            path + ": can't open the scenario: " + std::error_code(errno, std::generic_category()).message());
    }
    // Read no more than a scenario can be, so that a device like /dev/zero is refused, not
    // read until memory runs out.
    std::string text;
    std::array<char, 1 << 16> chunk{};
    while (text.size() <= kLargestScenario && file.read(chunk.data(), chunk.size()).gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        throw ScenarioFileError(path + ": can't read the scenario");
    }
    if (text.size() > kLargestScenario) {
        throw ScenarioError(path, "", "larger than " + std::to_string(kLargestScenario >> 20) + " MiB");
    }
    return ParseScenario(text, path);
}

const std::string& DefaultScenarioText()
{
    static const std::string text = R"json({
  "description": "Quillet started over the Messaging compose window, with mail waiting in the 070 account's Outbox; the phone sends and receives for two seconds; the hooks really run",
  "commandLine": "",
  "time": "real",
  "hooks": "started",
  "front": { "program": "tmail.exe", "window": "compose", "bar": "own" },
  "stores": [
    { "name": "070-1234-5678", "outbox": ["Re: lunch on Friday"] }
  ],
  "phone": { "behaviour": "finishes", "exchangeLength": 2000, "sendsMail": true },
  "profile": {
    "lines": [
      "[exec]",
      "before=/bin/sh|-c \"echo '        (before hook: the phone is about to send and receive)' >&2\"",
      "send=/bin/sh|-c \"echo '        (send hook: every mail has left the Outbox)' >&2\"",
      "after=/bin/sh|-c \"echo '        (after hook: mail is still waiting in the Outbox)' >&2\""
    ]
  }
}
)json";
    return text;
}

Scenario DefaultScenario()
{
    return ParseScenario(DefaultScenarioText(), "(built-in default scenario)");
}

const std::vector<std::string>& CallsNeverMade()
{
    // The property calls stand in, in the device's build only, for the one-property helpers its
    // MAPI lacks; and the program never writes a property.
    static const std::vector<std::string> calls = {"HrSetOneProp", "IMAPIProp::GetProps",
                                                   "IMAPIProp::SetProps"};
    return calls;
}

const std::vector<std::string>& InjectableCalls()
{
    static const std::vector<std::string> calls = [] {
        std::vector<std::string> made;
        const auto& never = CallsNeverMade();
        std::copy_if(sim::Phone::InjectableCalls().begin(), sim::Phone::InjectableCalls().end(),
                     std::back_inserter(made), [&](const std::string& call) {
                         return std::find(never.begin(), never.end(), call) == never.end();
                     });
        return made;
    }();
    return calls;
}

}  // namespace runner
