// The messaging store (MAPI) and the COM start-up it needs.
//
// On Windows these are the SDK's own names from the MAPI headers that MinGW-w64 ships; the
// build links mapi32 and ole32. Elsewhere the same names, types, constants and interfaces are
// declared here, as far as the program calls them and in the interfaces' published method
// order, and the simulated phone implements them.
#pragma once

#include "platform/types.h"

#ifdef _WIN32

#include <objbase.h>
#if defined(_WIN32_WCE) && __has_include(<cemapi.h>)
// The device SDK gathers its MAPI (CEMAPI) in one header.
#include <cemapi.h>
#else
#include <mapicode.h>
#include <mapidefs.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>
#endif

#if defined(_WIN32_WCE)
// cemapi.dll exports FreeProws but neither of the one-property helpers: the platform layer
// builds those itself (mapi_one_prop.cpp).
STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp);
STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);
STDAPI_(void) FreeProws(LPSRowSet lpRows);
#endif

#else  // !_WIN32

#include <cstdint>

using SCODE = LONG;
using ULONG_PTR = std::uintptr_t;
using BOOKMARK = ULONG;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using LPCIID = const IID*;
using REFIID = const IID&;

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002U);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057U);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106U);
constexpr HRESULT MAPI_E_CALL_FAILED = static_cast<HRESULT>(0x80004005U);
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = static_cast<HRESULT>(0x8007000EU);
constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102U);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = static_cast<HRESULT>(0x80040107U);
constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010FU);
constexpr HRESULT MAPI_E_LOGON_FAILED = static_cast<HRESULT>(0x80040111U);
constexpr HRESULT MAPI_E_NOT_INITIALIZED = static_cast<HRESULT>(0x80040605U);
constexpr HRESULT MAPI_W_ERRORS_RETURNED = static_cast<HRESULT>(0x00040380U);

constexpr DWORD COINIT_MULTITHREADED = 0;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

// Property tags: the property's identifier in the high word, its type in the low word.
constexpr ULONG PT_LONG = 3;
constexpr ULONG PT_ERROR = 10;
constexpr ULONG PT_STRING8 = 0x1E;
constexpr ULONG PT_UNICODE = 0x1F;
constexpr ULONG PT_SYSTIME = 0x40;
constexpr ULONG PT_BINARY = 0x102;

constexpr ULONG PROP_TYPE(ULONG tag)
{
    return tag & 0xFFFFU;
}
constexpr ULONG PROP_ID(ULONG tag)
{
    return tag >> 16U;
}
constexpr ULONG PROP_TAG(ULONG type, ULONG id)
{
    return (id << 16U) | type;
}

constexpr ULONG PR_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFF);
constexpr ULONG PR_SUBJECT_W = PROP_TAG(PT_UNICODE, 0x0037);
constexpr ULONG PR_DISPLAY_NAME_W = PROP_TAG(PT_UNICODE, 0x3001);
constexpr ULONG PR_IPM_OUTBOX_ENTRYID = PROP_TAG(PT_BINARY, 0x35E2);

constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
constexpr BOOKMARK BOOKMARK_BEGINNING = 0;

#define MAPI_DIM 1

struct ENTRYID {
    BYTE abFlags[4];
    BYTE ab[MAPI_DIM];
};
using LPENTRYID = ENTRYID*;

struct SBinary {
    ULONG cb;
    LPBYTE lpb;
};
using LPSBinary = SBinary*;

union _PV {
    short int i;
    LONG l;
    ULONG ul;
    unsigned short int b;
    FILETIME ft;
    char* lpszA;
    SBinary bin;
    LPWSTR lpszW;
    SCODE err;
    LONG x;
};

struct SPropValue {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    _PV Value;
};
using LPSPropValue = SPropValue*;

struct SPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[MAPI_DIM];
};
using LPSPropTagArray = SPropTagArray*;

// A column set of a fixed count, laid out as SPropTagArray.
#define SizedSPropTagArray(_ctag, _name) \
    struct _SPropTagArray_##_name {      \
        ULONG cValues;                   \
        ULONG aulPropTag[_ctag];         \
    } _name

struct SRow {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
};
using LPSRow = SRow*;

struct SRowSet {
    ULONG cRows;
    SRow aRow[MAPI_DIM];
};
using LPSRowSet = SRowSet*;

struct SPropProblem {
    ULONG ulIndex;
    ULONG ulPropTag;
    SCODE scode;
};

struct SPropProblemArray {
    ULONG cProblem;
    SPropProblem aProblem[MAPI_DIM];
};
using LPSPropProblemArray = SPropProblemArray*;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IMAPIProp : IUnknown {
    virtual HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                             LPSPropValue* lppPropArray) = 0;
    virtual HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) = 0;
};
using LPMAPIPROP = IMAPIProp*;

struct IMAPITable : IUnknown {
    virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
    virtual HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) = 0;
    virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
    virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
};
using LPMAPITABLE = IMAPITable*;

struct IMAPIContainer : IMAPIProp {
    virtual HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
};
using LPMAPICONTAINER = IMAPIContainer*;

struct IMAPIFolder : IMAPIContainer {};
using LPMAPIFOLDER = IMAPIFolder*;

struct IMessage : IMAPIProp {};
using LPMESSAGE = IMessage*;

struct IMsgStore : IMAPIProp {
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
};
using LPMDB = IMsgStore*;

struct IMAPISession : IUnknown {
    virtual HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    virtual HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                                 LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG* lpulObjType, LPUNKNOWN* lppUnk) = 0;
};
using LPMAPISESSION = IMAPISession*;

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

HRESULT MAPIInitialize(LPVOID lpMapiInit);
void MAPIUninitialize();
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPWSTR lpszProfileName, LPWSTR lpszPassword, ULONG ulFlags,
                    LPMAPISESSION* lppSession);
ULONG MAPIFreeBuffer(LPVOID lpBuffer);

HRESULT HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp);
HRESULT HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);
void FreeProws(LPSRowSet lpRows);

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);

#endif  // _WIN32
