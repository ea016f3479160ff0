// The MAPI functions the program calls, found in mapi32 (the device: cemapi) at the first call.
//
// The SDK headers declare these as the program's own functions, not as imported ones, so the
// platform layer defines them under their own names; each asks for the real one once and
// passes every call on. One that can't be found gives MAPI's failure code, which the program
// meets as it meets any failing MAPI call.
#include "platform/first_use.h"
#include "platform/mapi.h"

#ifdef _WIN32

namespace {

using platform::FindAtFirstUse;
using platform::LateDll;

using MapiInitializeEntry = HRESULT(WINAPI*)(LPVOID);
using MapiUninitializeEntry = void(WINAPI*)();
using MapiLogonExEntry = HRESULT(WINAPI*)(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION*);
using MapiFreeBufferEntry = ULONG(WINAPI*)(LPVOID);
using FreeProwsEntry = void(WINAPI*)(LPSRowSet);

// A desktop 64-bit mapi32 may export the helpers under their plain names (Windows) or only
// under the decorated names of its 32-bit build (Wine: FreeProws@4, HrGetOneProp@12,
// HrSetOneProp@8), so either is asked for. The device's cemapi has plain names only.
template <class Function>
Function FindMapiHelper(const char* plain, [[maybe_unused]] const char* decorated)
{
    const auto entry = FindAtFirstUse<Function>(LateDll::Mapi, plain);
#if defined(_WIN32_WCE)
    return entry;
#else
    return entry != nullptr ? entry : FindAtFirstUse<Function>(LateDll::Mapi, decorated);
#endif
}

}  // namespace

STDAPI MAPIInitialize(LPVOID lpMapiInit)
{
    static const auto entry = FindAtFirstUse<MapiInitializeEntry>(LateDll::Mapi, "MAPIInitialize");
    return entry != nullptr ? entry(lpMapiInit) : MAPI_E_CALL_FAILED;
}

// Only ever called after a successful MAPIInitialize, which found the DLL.
STDAPI_(void) MAPIUninitialize()
{
    static const auto entry = FindAtFirstUse<MapiUninitializeEntry>(LateDll::Mapi, "MAPIUninitialize");
    if (entry != nullptr) {
        entry();
    }
}

STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION* lppSession)
{
    static const auto entry = FindAtFirstUse<MapiLogonExEntry>(LateDll::Mapi, "MAPILogonEx");
    return entry != nullptr ? entry(ulUIParam, lpszProfileName, lpszPassword, ulFlags, lppSession)
                            : MAPI_E_CALL_FAILED;
}

// A buffer only ever comes from the DLL that this frees it with.
STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer)
{
    static const auto entry = FindAtFirstUse<MapiFreeBufferEntry>(LateDll::Mapi, "MAPIFreeBuffer");
    return entry != nullptr ? entry(lpBuffer) : static_cast<ULONG>(MAPI_E_CALL_FAILED);
}

STDAPI_(void) FreeProws(LPSRowSet lpRows)
{
    static const auto entry = FindMapiHelper<FreeProwsEntry>("FreeProws", "FreeProws@4");
    if (entry != nullptr) {
        entry(lpRows);
        return;
    }
    // What FreeProws does, from the allocator that the DLL exports plainly: a row set is never
    // left behind because the helper could not be found.
    if (lpRows == nullptr) {
        return;
    }
    SRow* rows = &lpRows->aRow[0];
    for (ULONG i = 0; i < lpRows->cRows; ++i) {
        MAPIFreeBuffer(rows[i].lpProps);
    }
    MAPIFreeBuffer(lpRows);
}

#if !defined(_WIN32_WCE)
// The device's cemapi has no one-property helpers: its platform layer builds them itself
// (mapi_one_prop.cpp).

namespace {

using HrGetOnePropEntry = HRESULT(WINAPI*)(LPMAPIPROP, ULONG, LPSPropValue*);
using HrSetOnePropEntry = HRESULT(WINAPI*)(LPMAPIPROP, LPSPropValue);

}  // namespace

STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp)
{
    static const auto entry = FindMapiHelper<HrGetOnePropEntry>("HrGetOneProp", "HrGetOneProp@12");
    return entry != nullptr ? entry(lpMapiProp, ulPropTag, lppProp) : MAPI_E_CALL_FAILED;
}

STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    static const auto entry = FindMapiHelper<HrSetOnePropEntry>("HrSetOneProp", "HrSetOneProp@8");
    return entry != nullptr ? entry(lpMapiProp, lpProp) : MAPI_E_CALL_FAILED;
}

#endif  // !_WIN32_WCE

#endif  // _WIN32
