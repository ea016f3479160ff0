// mapi32's FreeProws, HrGetOneProp and HrSetOneProp, found at run time.
//
// A 64-bit mapi32 may export these under their plain names (Windows) or only under the
// decorated names of its 32-bit build (Wine: FreeProws@4, HrGetOneProp@12, HrSetOneProp@8).
// Imported through the import library, the plain name then binds to a stub that aborts the
// program at the first call, so the program's own definitions below take their place and ask
// mapi32 for either name.
#include "platform/mapi.h"

#if !defined(_WIN32_WCE)

namespace {

// Process-lifetime code of mapi32, which is loaded as soon as the program starts since it
// imports MAPIInitialize from it.
FARPROC FindMapiEntry(const char* plain, const char* decorated)
{
    const HMODULE mapi = GetModuleHandleW(L"mapi32.dll");
    if (mapi == nullptr) {
        return nullptr;
    }
    const FARPROC entry = GetProcAddress(mapi, plain);
    return entry != nullptr ? entry : GetProcAddress(mapi, decorated);
}

template <class Function>
Function Resolve(const char* plain, const char* decorated)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindMapiEntry(plain, decorated)));
}

using FreeProwsEntry = void(STDAPICALLTYPE*)(LPSRowSet);
using HrGetOnePropEntry = HRESULT(STDAPICALLTYPE*)(LPMAPIPROP, ULONG, LPSPropValue*);
using HrSetOnePropEntry = HRESULT(STDAPICALLTYPE*)(LPMAPIPROP, LPSPropValue);

}  // namespace

STDAPI_(void) FreeProws(LPSRowSet lpRows)
{
    static const auto entry = Resolve<FreeProwsEntry>("FreeProws", "FreeProws@4");
    if (entry != nullptr) {
        entry(lpRows);
        return;
    }
    // What FreeProws does, from the allocator that mapi32 exports plainly: a row set is never
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

STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp)
{
    static const auto entry = Resolve<HrGetOnePropEntry>("HrGetOneProp", "HrGetOneProp@12");
    return entry != nullptr ? entry(lpMapiProp, ulPropTag, lppProp) : MAPI_E_CALL_FAILED;
}

STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    static const auto entry = Resolve<HrSetOnePropEntry>("HrSetOneProp", "HrSetOneProp@8");
    return entry != nullptr ? entry(lpMapiProp, lpProp) : MAPI_E_CALL_FAILED;
}

#endif
