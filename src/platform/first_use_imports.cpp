// ole32's CoInitializeEx and CoUninitialize, and on desktop Windows shell32's ShellExecuteExW,
// found at the first call.
//
// The SDK headers declare these as imported. On desktop Windows program code then calls each
// through its import slot. The slots are defined here instead of by the import libraries: each
// first holds a function that finds the real one, puts it in the slot and passes the call on.
// From then on a call goes straight to the DLL, as through the import table. When the function
// can't be found, the slot gets one that gives the call's failure instead.
//
// The device's compiler (CeGCC) ignores the import mark on functions, as its -mnop-fun-dllimport
// does by default: program code calls CoInitializeEx and CoUninitialize by their own names, and
// the device build defines them here under those names, as it does the MAPI functions.
#include "platform/first_use.h"
#include "platform/mapi.h"
#include "platform/shell.h"

#ifdef _WIN32

namespace platform {

namespace {

using CoInitializeExEntry = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoUninitializeEntry = void(WINAPI*)();

template <class Function>
Function Bind(LateDll dll, const char* name, Function missing)
{
    const auto found = FindAtFirstUse<Function>(dll, name);
    return found != nullptr ? found : missing;
}

// COM that can't be started: the program's start-up of MAPI fails, as for any failing code.
HRESULT WINAPI MissingCoInitializeEx(LPVOID /*reserved*/, DWORD /*mode*/)
{
    return E_FAIL;
}

// Only ever called after a successful CoInitializeEx, which found ole32.
void WINAPI MissingCoUninitialize() {}

}  // namespace

}  // namespace platform

#if defined(_WIN32_WCE)

STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    static const auto entry =
        platform::Bind(platform::LateDll::Ole32, "CoInitializeEx", &platform::MissingCoInitializeEx);
    return entry(pvReserved, dwCoInit);
}

STDAPI_(void) CoUninitialize()
{
    static const auto entry =
        platform::Bind(platform::LateDll::Ole32, "CoUninitialize", &platform::MissingCoUninitialize);
    entry();
}

#else  // desktop Windows

namespace platform {

namespace {

HRESULT WINAPI FirstCoInitializeEx(LPVOID reserved, DWORD mode);
void WINAPI FirstCoUninitialize();

}  // namespace

extern "C" {
CoInitializeExEntry coInitializeExSlot __asm__(QUILLET_IMPORT_SLOT(CoInitializeEx, 8)) = FirstCoInitializeEx;
CoUninitializeEntry coUninitializeSlot __asm__(QUILLET_IMPORT_SLOT(CoUninitialize, 0)) = FirstCoUninitialize;
}

namespace {

HRESULT WINAPI FirstCoInitializeEx(LPVOID reserved, DWORD mode)
{
    coInitializeExSlot = Bind(LateDll::Ole32, "CoInitializeEx", &MissingCoInitializeEx);
    return coInitializeExSlot(reserved, mode);
}

void WINAPI FirstCoUninitialize()
{
    coUninitializeSlot = Bind(LateDll::Ole32, "CoUninitialize", &MissingCoUninitialize);
    coUninitializeSlot();
}

using ShellExecuteExWEntry = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

BOOL WINAPI FirstShellExecuteExW(SHELLEXECUTEINFOW* request);

}  // namespace

extern "C" {
ShellExecuteExWEntry shellExecuteExWSlot __asm__(QUILLET_IMPORT_SLOT(ShellExecuteExW,
                                                                     4)) = FirstShellExecuteExW;
}

namespace {

// A program that can't be started, as the shell reports one.
BOOL WINAPI MissingShellExecuteExW(SHELLEXECUTEINFOW* /*request*/)
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

BOOL WINAPI FirstShellExecuteExW(SHELLEXECUTEINFOW* request)
{
    shellExecuteExWSlot = Bind(LateDll::Shell32, "ShellExecuteExW", &MissingShellExecuteExW);
    return shellExecuteExWSlot(request);
}

}  // namespace

}  // namespace platform

#endif  // _WIN32_WCE

#endif  // _WIN32
