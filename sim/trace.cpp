#include "sim/trace.h"

#include <cstdio>

#include "sim/phone.h"

namespace sim {

namespace {

std::string HexText(std::uint64_t value, bool upper)
{
    char text[32];
    std::snprintf(text, sizeof text, upper ? "0x%llX" : "%#llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Quoted(const WString& text)
{
    return "\"" + Printable(Utf8(text)) + "\"";
}

std::string InterfaceText(const Interface& object)
{
    if (object.kind == "contents table") {
        return "contents table of " + Printable(Utf8(object.name));
    }
    return object.name.empty() ? object.kind : object.kind + " " + Printable(Utf8(object.name));
}

std::string EntriesText(const MenuEntries& entries)
{
    std::string text;
    for (const auto& entry : entries) {
        text += (text.empty() ? "" : ", ") + std::to_string(entry.id) + " " + Quoted(entry.text);
        if (entry.flags != 0) {
            text += " flags " + std::to_string(entry.flags);
        }
    }
    return "[" + text + "]";
}

struct ValueText {
    std::string operator()(std::monostate /*none*/) const { return "null"; }
    std::string operator()(bool value) const { return value ? "yes" : "no"; }
    std::string operator()(std::int64_t value) const { return std::to_string(value); }
    std::string operator()(const Hex& value) const { return HexText(value.value, true); }
    std::string operator()(const Handle& value) const { return HexText(value.value, false); }
    std::string operator()(const HResult& value) const { return HexText(value.value, true); }
    std::string operator()(const Name& value) const { return value.text; }
    std::string operator()(const WString& value) const { return Quoted(value); }
    std::string operator()(const Bytes& value) const
    {
        std::string text;
        for (const auto byte : value.bytes) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", byte);
            text += pair;
        }
        return text.empty() ? "(none)" : text;
    }
    std::string operator()(const Interface& value) const { return InterfaceText(value); }
    std::string operator()(const MenuEntries& value) const { return EntriesText(value); }
};

// "name value" for each field; a field named "result" shows its value alone.
std::string FieldsText(const Fields& fields)
{
    std::string text;
    for (const Field& field : fields) {
        const std::string value = std::visit(ValueText{}, field.value);
        text += (text.empty() ? "" : " ") + (field.name == "result" ? value : field.name + " " + value);
    }
    return text;
}

}  // namespace

Handle HandleOf(const void* handle)
{
    return Handle{reinterpret_cast<std::uintptr_t>(handle)};
}

bool TraceEvent::Has(std::string_view name) const
{
    for (const Fields* fields : {&args, &result}) {
        for (const Field& field : *fields) {
            if (field.name == name) {
                return true;
            }
        }
    }
    return false;
}

std::int64_t TraceEvent::Number(std::string_view name, std::int64_t fallback) const
{
    if (const auto* number = Get<std::int64_t>(name)) {
        return *number;
    }
    if (const auto* handle = Get<Handle>(name)) {
        return static_cast<std::int64_t>(handle->value);
    }
    if (const auto* code = Get<HResult>(name)) {
        return code->value;
    }
    if (const auto* flag = Get<bool>(name)) {
        return *flag ? 1 : 0;
    }
    return fallback;
}

WString TraceEvent::Wide(std::string_view name) const
{
    const auto* text = Get<WString>(name);
    return text != nullptr ? *text : WString();
}

bool TraceEvent::Flag(std::string_view name) const
{
    const auto* flag = Get<bool>(name);
    return flag != nullptr && *flag;
}

bool TraceEvent::Failed(std::string_view name) const
{
    const auto* code = Get<HResult>(name);
    return code != nullptr && code->Failed();
}

std::string TraceEvent::Detail() const
{
    std::string given = FieldsText(args);
    if (result.empty()) {
        return given;
    }
    return (given.empty() ? "" : given + " ") + "-> " + FieldsText(result);
}

std::string Printable(std::string_view utf8)
{
    std::string shown;
    shown.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto unit = static_cast<unsigned char>(utf8[i]);
        if (unit < 0x20 || unit == 0x7F) {
            // The Control Pictures block: U+2400 for NUL up to U+241F, U+2421 for DEL.
            const unsigned picture = unit == 0x7F ? 0x21 : unit;
            shown += "\xE2\x90";
            shown += static_cast<char>(0x80 + picture);
        } else if (unit == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>",
                          static_cast<unsigned>(static_cast<unsigned char>(utf8[++i])));
            shown += code;
        } else {
            shown += utf8[i];
        }
    }
    return shown;
}

}  // namespace sim
