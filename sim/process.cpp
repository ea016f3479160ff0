// The program's process on the simulated phone: last error, handles, the module file name and
// named mutexes.
#include <algorithm>

#include "platform/process.h"
#include "sim/phone.h"

using sim::Phone;

namespace {

struct Mutex : sim::HandleObject {
    explicit Mutex(const WString& mutexName) : HandleObject("mutex", mutexName) {}
};

}  // namespace

DWORD GetLastError()
{
    return Phone::Get().lastError;
}

void SetLastError(DWORD error)
{
    Phone::Get().lastError = error;
}

BOOL CloseHandle(HANDLE object)
{
    auto& phone = Phone::Get();
    const bool closed = phone.CloseHandle(object);
    phone.Record("program", "CloseHandle", closed ? "" : "-> not open");
    return closed ? TRUE : FALSE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES /*attributes*/, BOOL initialOwner, LPCWSTR name)
{
    auto& phone = Phone::Get();
    HANDLE handle = nullptr;
    std::string outcome;
    if (phone.ShouldFail("CreateMutexW")) {
        phone.lastError = ERROR_ACCESS_DENIED;
        outcome = "null, error 5";
    } else {
        const bool existed = !phone.mutexes.insert(name).second;
        phone.lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
        handle = phone.AddHandle(std::make_unique<Mutex>(name));
        outcome = existed ? "opened, error 183 (already exists)" : "created";
    }
    phone.Record("program", "CreateMutexW",
                 "\"" + sim::Utf8(name) + "\" owner " + std::to_string(initialOwner) + " -> " + outcome);
    return handle;
}

DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR fileName, DWORD size)
{
    auto& phone = Phone::Get();
    const WString& name = phone.moduleFileName;
    DWORD length = 0;
    if (phone.ShouldFail("GetModuleFileNameW") || size == 0) {
        phone.lastError = ERROR_INSUFFICIENT_BUFFER;
    } else if (name.size() >= size) {
        // Cut to the buffer and terminated; the answer is the buffer's size.
        std::copy_n(name.begin(), size - 1, fileName);
        fileName[size - 1] = 0;
        length = size;
        phone.lastError = ERROR_INSUFFICIENT_BUFFER;
    } else {
        std::copy(name.begin(), name.end(), fileName);
        fileName[name.size()] = 0;
        length = static_cast<DWORD>(name.size());
    }
    phone.Record("program", "GetModuleFileNameW", "-> " + std::to_string(length));
    return length;
}
