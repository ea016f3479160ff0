// One property read or written through an object's own GetProps and SetProps, with the
// results of MAPI's one-property helpers. The device's cemapi.dll has no such helpers, so its
// HrGetOneProp and HrSetOneProp are these.
#pragma once

#include "platform/mapi.h"

namespace platform {

// A success code and, in *value, the one value, which MAPIFreeBuffer frees whole; or a failure
// code (MAPI_E_NOT_FOUND for a property the object lacks) and no value.
HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value);

// A success code when the object took the value; otherwise the call's failure code, or the
// code of the problem the object reported for the value.
HRESULT SetOneProp(LPMAPIPROP object, LPSPropValue value);

}  // namespace platform
