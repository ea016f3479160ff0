// The simulated phone's trace: every platform call and every action of another party, with
// what it was given and what it gave back kept as values. Readers (the runner's timeline,
// the tests) look at the values; Detail() turns them into text for people only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/text.h"

namespace sim {

using Millis = std::int64_t;

// A window, a kernel object, a menu or a registry key, by its value.
struct Handle {
    std::uintptr_t value = 0;
    [[nodiscard]] bool operator==(const Handle&) const = default;
};
Handle HandleOf(const void* handle);

struct HResult {
    std::uint32_t value = 0;
    [[nodiscard]] bool Failed() const { return value >= 0x80000000U; }
};

// Flags and property tags, which people read in hexadecimal.
struct Hex {
    std::uint64_t value = 0;
};

// A platform constant by its name: WM_TIMER, INVALID_HANDLE_VALUE; or a party's own word for
// what happened to it.
struct Name {
    std::string text;
    [[nodiscard]] bool operator==(const Name&) const = default;
};

// An entry identifier.
struct Bytes {
    std::vector<std::uint8_t> bytes;
};

// A MAPI object handed to the program: its kind ("session", "stores table", "store",
// "folder", "contents table", "message"), its display name, and the store it lives in.
struct Interface {
    std::string kind;
    WString name;
    WString store;
};

struct MenuEntry {
    std::uint64_t id = 0;
    WString text;
    std::uint32_t flags = 0;
};
using MenuEntries = std::vector<MenuEntry>;

using Value = std::variant<std::monostate, bool, std::int64_t, Hex, Handle, HResult, Name, WString, Bytes,
                           Interface, MenuEntries>;

// Any integer as a trace number.
template <class T>
constexpr std::int64_t Int(T value)
{
    return static_cast<std::int64_t>(value);
}

struct Field {
    std::string name;
    Value value;
};
using Fields = std::vector<Field>;

struct TraceEvent {
    Millis time = 0;
    std::string actor;  // "program" for a platform call; otherwise the party that acted
    std::string what;   // the call or the action
    Fields args;        // what the call was given, or what the party acted on
    Fields result;      // what it gave back

    // The named value, from the arguments or the result, when it is there as a T.
    template <class T>
    [[nodiscard]] const T* Get(std::string_view name) const
    {
        for (const Fields* fields : {&args, &result}) {
            for (const Field& field : *fields) {
                if (field.name == name) {
                    return std::get_if<T>(&field.value);
                }
            }
        }
        return nullptr;
    }
    [[nodiscard]] bool Has(std::string_view name) const;
    // A number, a handle or an HRESULT as a number; fallback when the field is missing.
    [[nodiscard]] std::int64_t Number(std::string_view name, std::int64_t fallback = 0) const;
    [[nodiscard]] WString Wide(std::string_view name) const;
    [[nodiscard]] bool Flag(std::string_view name) const;               // false when missing
    [[nodiscard]] bool Failed(std::string_view name = "result") const;  // an HRESULT that failed

    // The arguments, then "->" and the result, for people (quillet-sim --verbose).
    [[nodiscard]] std::string Detail() const;
};

// UTF-8 of text that a terminal shows as it is: control characters are given as their
// pictures (U+2400...), so that a CR or an escape sequence in a value can't act on the screen.
std::string Printable(std::string_view utf8);

}  // namespace sim
