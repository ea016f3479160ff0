// HKEY_CURRENT_USER of the simulated phone, and the phone's software that owns Status15.
#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/registry.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

struct OpenKey {
    WString path;
};

// Open keys are small integers handed out here; predefined roots are never in this table.
std::map<std::uintptr_t, OpenKey>& OpenKeys()
{
    return sim::DeviceState<std::map<std::uintptr_t, OpenKey>>();
}

std::uintptr_t& NextKey()
{
    return sim::DeviceState<std::uintptr_t>();
}

const OpenKey* Find(HKEY key)
{
    const auto found = OpenKeys().find(reinterpret_cast<std::uintptr_t>(key));
    return found == OpenKeys().end() ? nullptr : &found->second;
}

void StartExchange()
{
    auto& phone = Phone::Get();
    const auto& service = phone.phoneService;
    if (service.behaviour == sim::PhoneService::Behaviour::NeverFinishes) {
        phone.Record("phone", "send/receive starts", {{"ends", false}});
        return;
    }
    phone.Record("phone", "send/receive starts", {{"ms", sim::Int(service.exchangeLength)}});
    phone.Schedule(service.exchangeLength, [] {
        auto& device = Phone::Get();
        if (device.phoneService.onExchangeOver) {
            device.phoneService.onExchangeOver();
        }
        auto& values = device.registry[sim::kPhoneStatusKey];
        const auto& left = device.phoneService.leftAtEnd;
        if (!left) {
            values.erase(sim::kStatusValue);
            device.Record("phone", "send/receive over", {{"removed", sim::kStatusValue}});
            return;
        }
        values[sim::kStatusValue] = *left;
        device.Record(
            "phone", "send/receive over",
            {{"name", sim::kStatusValue}, {"type", sim::Int(left->type)}, {"data", sim::Bytes{left->data}}});
    });
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result)
{
    auto& phone = Phone::Get();
    const WString path = subKey;
    LONG status = ERROR_FILE_NOT_FOUND;
    if (key != HKEY_CURRENT_USER) {
        status = ERROR_INVALID_HANDLE;
    } else if (phone.ShouldFail("RegOpenKeyExW")) {
        status = ERROR_ACCESS_DENIED;
    } else if (phone.registry.contains(path) &&
               phone.phoneService.behaviour != sim::PhoneService::Behaviour::KeyAbsent) {
        const auto value = ++NextKey() + 0x1000;
        OpenKeys()[value] = {path};
        *result = reinterpret_cast<HKEY>(value);  // NOLINT(performance-no-int-to-ptr)
        ++phone.openKeys;
        status = ERROR_SUCCESS;
    }
    phone.Record("program", "RegOpenKeyExW",
                 {{"root", sim::Name{key == HKEY_CURRENT_USER ? "HKCU" : "?"}},
                  {"key", path},
                  {"access", sim::Int(access)}},
                 {{"result", sim::Int(status)}});
    return status;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize)
{
    auto& phone = Phone::Get();
    const OpenKey* open = Find(key);
    const WString name = valueName;
    std::optional<std::int32_t> number;
    if (type == REG_DWORD && dataSize == 4) {
        std::memcpy(&number.emplace(), data, 4);
    }
    LONG status = ERROR_SUCCESS;
    if (open == nullptr) {
        status = ERROR_INVALID_HANDLE;
    } else if (phone.ShouldFail("RegSetValueExW")) {
        status = ERROR_ACCESS_DENIED;
    }
    sim::Fields given = {{"name", name}, {"type", sim::Int(type)}, {"bytes", sim::Int(dataSize)}};
    if (number) {
        given.push_back({"value", sim::Int(*number)});
    }
    phone.Record("program", "RegSetValueExW", std::move(given), {{"result", sim::Int(status)}});
    if (status != ERROR_SUCCESS) {
        return status;
    }
    phone.registry[open->path][name] = {type, std::vector<BYTE>(data, data + dataSize)};
    if (open->path == sim::kPhoneStatusKey && name == sim::kStatusValue && number == 1) {
        StartExchange();
    }
    return status;
}

// Recorded with the value as it is kept (its type and bytes) and the first four bytes of the
// caller's buffer after the call, which is what a caller reading a DWORD takes from it.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    auto& phone = Phone::Get();
    const OpenKey* open = Find(key);
    const WString name = valueName;
    const DWORD room = dataSize != nullptr ? *dataSize : 0;
    LONG status = ERROR_INVALID_HANDLE;
    const sim::RegistryValue* value = nullptr;
    if (open != nullptr) {
        const auto& values = phone.registry[open->path];
        const auto found = values.find(name);
        value = found != values.end() ? &found->second : nullptr;
        if (phone.ShouldFail("RegQueryValueExW")) {
            status = ERROR_ACCESS_DENIED;
        } else if (value == nullptr) {
            status = ERROR_FILE_NOT_FOUND;
        } else if (value->data.size() > room) {
            status = sim::kErrorMoreData;
            *dataSize = static_cast<DWORD>(value->data.size());
        } else {
            std::copy(value->data.begin(), value->data.end(), data);
            *dataSize = static_cast<DWORD>(value->data.size());
            if (type != nullptr) {
                *type = value->type;
            }
            status = ERROR_SUCCESS;
        }
    }
    sim::Fields result = {{"result", sim::Int(status)}};
    if (value != nullptr) {
        result.push_back({"type", sim::Int(value->type)});
        result.push_back({"data", sim::Bytes{value->data}});
    }
    if (data != nullptr && room >= 4) {
        std::int32_t read = 0;
        std::memcpy(&read, data, 4);
        result.push_back({"read", sim::Int(read)});
    }
    phone.Record("program", "RegQueryValueExW", {{"name", name}}, std::move(result));
    return status;
}

LONG RegCloseKey(HKEY key)
{
    auto& phone = Phone::Get();
    const bool open = OpenKeys().erase(reinterpret_cast<std::uintptr_t>(key)) == 1;
    if (open) {
        --phone.openKeys;
    }
    phone.Record("program", "RegCloseKey", {{"key", sim::HandleOf(key)}},
                 {{"result", sim::Int(open ? ERROR_SUCCESS : ERROR_INVALID_HANDLE)}});
    return open ? LONG{ERROR_SUCCESS} : LONG{ERROR_INVALID_HANDLE};
}
