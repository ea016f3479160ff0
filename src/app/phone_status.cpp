#include "app/phone_status.h"

#include "platform/registry.h"

namespace {

constexpr const WCHAR* kStatusKey = WTEXT("Software\\Sharp\\PhoneStatus");
constexpr const WCHAR* kStatusValue = WTEXT("Status15");

// An open registry key, closed exactly once.
class RegistryKey {
public:
    RegistryKey(HKEY root, const WCHAR* path, REGSAM access)
    {
        if (RegOpenKeyExW(root, path, 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }

    explicit operator bool() const noexcept { return key_ != nullptr; }
    [[nodiscard]] HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

void RequestSendReceive()
{
    const RegistryKey key(HKEY_CURRENT_USER, kStatusKey, kStatusKeyWriteAccess);
    if (!key) {
        return;
    }
    const DWORD request = 1;
    RegSetValueExW(key.get(), kStatusValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&request),
                   sizeof request);
}

LONG ReadSendReceiveStatus()
{
    LONG status = kStatusGone;
    const RegistryKey key(HKEY_CURRENT_USER, kStatusKey, kStatusKeyReadAccess);
    if (!key) {
        return status;
    }
    DWORD type = 0;
    DWORD size = sizeof status;
    // A value that can't be read leaves kStatusGone. A failed query is not trusted to have
    // left the buffer alone (a larger value may have been half copied), so it reads as gone too.
    if (RegQueryValueExW(key.get(), kStatusValue, nullptr, &type, reinterpret_cast<BYTE*>(&status), &size) !=
        ERROR_SUCCESS) {
        status = kStatusGone;
    }
    return status;
}
