// The MAPI and COM functions of the simulated phone, with their accounts.
#include <cstring>

#include "sim/mapi/internal.h"

using sim::Phone;
using sim::mapi::TheState;

namespace {

sim::Fields Result(HRESULT result)
{
    return {{"result", sim::HResult{static_cast<std::uint32_t>(result)}}};
}

bool ReachesStore(LPMAPIPROP prop, sim::mapi::PropSource*& source)
{
    source = dynamic_cast<sim::mapi::PropSource*>(prop);
    const auto* tracked = dynamic_cast<const sim::mapi::Tracked*>(prop);
    if (tracked != nullptr && !tracked->Alive()) {
        ++TheState().accounts.usesAfterRelease;
        return false;
    }
    return source != nullptr;
}

sim::Value LabelOf(LPMAPIPROP prop)
{
    const auto* tracked = dynamic_cast<const sim::mapi::Tracked*>(prop);
    return tracked == nullptr ? sim::Value(sim::Name{"(not an interface)"}) : sim::Value(tracked->Label());
}

}  // namespace

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    auto& accounts = TheState().accounts;
    HRESULT result = accounts.comStarts > 0 ? S_FALSE : S_OK;
    if (Phone::Get().ShouldFail("CoInitializeEx")) {
        result = RPC_E_CHANGED_MODE;
    } else {
        ++accounts.comStarts;
    }
    Phone::Get().Record("program", "CoInitializeEx",
                        {{"reserved", pvReserved != nullptr}, {"model", sim::Int(dwCoInit)}}, Result(result));
    return result;
}

void CoUninitialize()
{
    auto& accounts = TheState().accounts;
    const bool started = accounts.comStarts > 0;
    if (started) {
        --accounts.comStarts;
    } else {
        ++accounts.unbalancedStops;
    }
    Phone::Get().Record("program", "CoUninitialize", {}, {{"balanced", started}});
}

HRESULT MAPIInitialize(LPVOID lpMapiInit)
{
    auto& accounts = TheState().accounts;
    HRESULT result = S_OK;
    if (Phone::Get().ShouldFail("MAPIInitialize")) {
        result = MAPI_E_NOT_INITIALIZED;
    } else {
        ++accounts.mapiStarts;
    }
    Phone::Get().Record("program", "MAPIInitialize", {{"structure", lpMapiInit != nullptr}}, Result(result));
    return result;
}

void MAPIUninitialize()
{
    auto& accounts = TheState().accounts;
    const bool started = accounts.mapiStarts > 0;
    if (started) {
        --accounts.mapiStarts;
    } else {
        ++accounts.unbalancedStops;
    }
    Phone::Get().Record("program", "MAPIUninitialize", {}, {{"balanced", started}});
}

// NOLINTNEXTLINE(readability-non-const-parameter): the platform's own signature
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPWSTR lpszProfileName, LPWSTR lpszPassword, ULONG ulFlags,
                    LPMAPISESSION* lppSession)
{
    HRESULT result = S_OK;
    if (TheState().accounts.mapiStarts == 0) {
        result = MAPI_E_NOT_INITIALIZED;
    } else if (Phone::Get().ShouldFail("MAPILogonEx")) {
        result = MAPI_E_LOGON_FAILED;
    }
    Phone::Get().Record("program", "MAPILogonEx",
                        {{"ui", sim::Int(ulUIParam)},
                         {"profile", lpszProfileName != nullptr},
                         {"password", lpszPassword != nullptr},
                         {"flags", sim::Hex{ulFlags}}},
                        Result(result));
    *lppSession = SUCCEEDED(result) ? sim::mapi::NewSession() : nullptr;
    return result;
}

ULONG MAPIFreeBuffer(LPVOID lpBuffer)
{
    const bool freed = lpBuffer == nullptr || sim::mapi::Free(lpBuffer);
    Phone::Get().Record("program", "MAPIFreeBuffer", {{"null", lpBuffer == nullptr}}, {{"result", freed}});
    return freed ? S_OK : static_cast<ULONG>(E_INVALIDARG);
}

void FreeProws(LPSRowSet lpRows)
{
    if (lpRows == nullptr) {
        Phone::Get().Record("program", "FreeProws", {{"rows", sim::Value()}});
        return;
    }
    const bool known = TheState().buffers.count(lpRows) == 1;
    sim::Fields given;
    if (known) {
        given.push_back({"rows", sim::Int(lpRows->cRows)});
    }
    Phone::Get().Record("program", "FreeProws", std::move(given), {{"result", known}});
    if (!known) {
        ++TheState().accounts.badFrees;
        return;
    }
    const SRow* rows = &lpRows->aRow[0];
    for (ULONG i = 0; i < lpRows->cRows; ++i) {
        sim::mapi::Free(rows[i].lpProps);
    }
    sim::mapi::Free(lpRows);
}

HRESULT HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp)
{
    sim::mapi::PropSource* source = nullptr;
    HRESULT result = S_OK;
    *lppProp = nullptr;
    if (Phone::Get().ShouldFail("HrGetOneProp")) {
        result = MAPI_E_CALL_FAILED;
    } else if (!ReachesStore(lpMapiProp, source)) {
        result = MAPI_E_INVALID_PARAMETER;
    } else {
        // As mapi32 does: a property the object lacks is MAPI_E_NOT_FOUND; a value the
        // object keeps is handed out as kept, whatever its type.
        bool missing = false;
        *lppProp = sim::mapi::PackValues(source->Data(), {ulPropTag}, missing);
        if (missing) {
            sim::mapi::Free(*lppProp);
            if (!TheState().leavesFreedValue) {
                *lppProp = nullptr;
            }
            result = MAPI_E_NOT_FOUND;
        }
    }
    Phone::Get().Record("program", "HrGetOneProp",
                        {{"object", LabelOf(lpMapiProp)}, {"tag", sim::Hex{ulPropTag}}}, Result(result));
    return result;
}

HRESULT HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    HRESULT result = MAPI_E_CALL_FAILED;
    sim::mapi::PropSource* source = nullptr;
    if (!Phone::Get().ShouldFail("HrSetOneProp") && ReachesStore(lpMapiProp, source)) {
        result = lpMapiProp->SetProps(1, lpProp, nullptr);
    }
    Phone::Get().Record("program", "HrSetOneProp",
                        {{"object", LabelOf(lpMapiProp)}, {"tag", sim::Hex{lpProp->ulPropTag}}},
                        Result(result));
    return result;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    const std::uint64_t ticks =
        (std::uint64_t{lpFileTime->dwHighDateTime} << 32U) | lpFileTime->dwLowDateTime;
    const bool valid = ticks < 0x8000000000000000ULL;
    Phone::Get().Record("program", "FileTimeToSystemTime", {{"ticks", static_cast<std::int64_t>(ticks)}},
                        {{"result", valid}});
    if (!valid) {
        return FALSE;
    }
    constexpr std::uint64_t kTicksPerDay = 864000000000ULL;
    const auto daysSince1601 = static_cast<std::int64_t>(ticks / kTicksPerDay);
    const std::uint64_t inDay = ticks % kTicksPerDay;
    // Civil date from a day count (Howard Hinnant's algorithm), counted from 0000-03-01.
    const std::int64_t z = daysSince1601 + 584694;  // 1601-01-01 is day 584694 after 0000-03-01
    const std::int64_t era = z / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wDayOfWeek = static_cast<WORD>((daysSince1601 + 1) % 7);  // 1601-01-01 was a Monday
    time.wHour = static_cast<WORD>(inDay / 36000000000ULL);
    time.wMinute = static_cast<WORD>(inDay / 600000000ULL % 60);
    time.wSecond = static_cast<WORD>(inDay / 10000000ULL % 60);
    time.wMilliseconds = static_cast<WORD>(inDay / 10000ULL % 1000);
    *lpSystemTime = time;
    return TRUE;
}
