// The DLLs whose work comes after the press (COM, MAPI, and on desktop Windows the shell),
// loaded at the program's first call into them instead of at its start.
//
// Through the import table they were loaded, and MAPI's start-up run, before the program's
// first line: all of it time between the user's tap and the press the user waits for. The
// platform layer itself defines the functions the program calls in them; each finds the real
// one at its first call and keeps it. One that can't be found (its DLL missing, or the name
// not exported) gives the call's own failure: a failing HRESULT, or FALSE.
//
// Only the platform layer includes this header.
#pragma once

#include "platform/types.h"

#ifdef _WIN32

namespace platform {

enum class LateDll {
    Ole32,
    Mapi,  // mapi32.dll on desktop Windows, cemapi.dll on the device
#if !defined(_WIN32_WCE)
    Shell32,  // on the device the shell's start is coredll's, loaded with the program
#endif
};

// The DLL's function of that name, loading the DLL at the first call; nullptr when either
// can't be found.
FARPROC FindAtFirstUse(LateDll dll, const char* name);

template <class Function>
Function FindAtFirstUse(LateDll dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindAtFirstUse(dll, name)));
}

}  // namespace platform

// The name of the import slot through which program code calls a function that the SDK
// headers declare as imported (dllimport): "__imp_" and the function's symbol, which on i686
// carries the stdcall byte count of its arguments. The platform layer defines the slot itself,
// as a delay-loading import would: it first holds a function that finds the real one and puts
// it in the slot.
#define QUILLET_TEXT_OF(x) #x
#define QUILLET_EXPANDED_TEXT_OF(x) QUILLET_TEXT_OF(x)
#if defined(__i386__)
#define QUILLET_IMPORT_SLOT(name, bytes) \
    "__imp_" QUILLET_EXPANDED_TEXT_OF(__USER_LABEL_PREFIX__) #name "@" #bytes
#else
#define QUILLET_IMPORT_SLOT(name, bytes) "__imp_" QUILLET_EXPANDED_TEXT_OF(__USER_LABEL_PREFIX__) #name
#endif

#endif  // _WIN32
