#include "app/single_instance.h"

#include "platform/process.h"

namespace {

constexpr const WCHAR* kInstanceMutex = WTEXT("{D606D096-49DC-43e1-93E8-BF51F4A730FF}");

}  // namespace

// The handle is deliberately never closed: the mutex is held for the process's whole life.
bool ClaimSingleInstance()
{
    CreateMutexW(nullptr, TRUE, kInstanceMutex);
    return GetLastError() != ERROR_ALREADY_EXISTS;
}
