#include "platform/mapi_one_prop.h"

namespace platform {

namespace {

// The code an error value carries, never a success: a value without its property must not
// read as one.
HRESULT ErrorOf(const SPropValue& value)
{
    return FAILED(value.Value.err) ? value.Value.err : MAPI_E_NOT_FOUND;
}

}  // namespace

HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value)
{
    if (value == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *value = nullptr;
    if (object == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    // A failed call hands out nothing that may be freed.
    const HRESULT result = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values);
    if (FAILED(result)) {
        return result;
    }
    if (values == nullptr || count != 1) {
        MAPIFreeBuffer(values);
        return MAPI_E_CALL_FAILED;
    }
    // A property the object lacks comes back as an error value beside a warning code.
    if (PROP_TYPE(values->ulPropTag) == PT_ERROR) {
        const HRESULT error = ErrorOf(*values);
        MAPIFreeBuffer(values);
        return error;
    }
    *value = values;
    return S_OK;
}

HRESULT SetOneProp(LPMAPIPROP object, LPSPropValue value)
{
    if (object == nullptr || value == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    LPSPropProblemArray problems = nullptr;
    HRESULT result = object->SetProps(1, value, &problems);
    if (FAILED(result)) {
        return result;
    }
    // The object may take the call and still refuse the value: the problem's code says why.
    if (problems != nullptr) {
        if (problems->cProblem != 0 && FAILED(problems->aProblem[0].scode)) {
            result = problems->aProblem[0].scode;
        }
        MAPIFreeBuffer(problems);
    }
    return result;
}

}  // namespace platform

#if defined(_WIN32_WCE)

STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp)
{
    return platform::GetOneProp(lpMapiProp, ulPropTag, lppProp);
}

STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp)
{
    return platform::SetOneProp(lpMapiProp, lpProp);
}

#endif
