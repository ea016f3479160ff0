#include "platform/first_use.h"

#ifdef _WIN32

#include <array>
#include <cstddef>

#if defined(_WIN32_WCE)
// The device finds a function by its wide name only.
extern "C" FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR name);
#endif

namespace platform {

namespace {

constexpr std::size_t kDllCount = 3;

const WCHAR* FileName(LateDll dll)
{
    switch (dll) {
        case LateDll::Ole32: return WTEXT("ole32.dll");
#if defined(_WIN32_WCE)
        case LateDll::Mapi: return WTEXT("cemapi.dll");
#else
        case LateDll::Mapi: return WTEXT("mapi32.dll");
        case LateDll::Shell32: return WTEXT("shell32.dll");
#endif
    }
    return nullptr;
}

// Loaded once and kept until the process ends, as a DLL of the import table is: its code and
// the objects it handed out may be in use until the program's last line. A DLL that could not
// be loaded is tried again when another of its functions is first called.
HMODULE Load(LateDll dll)
{
    static std::array<HMODULE, kDllCount> modules{};
    HMODULE& module = modules.at(static_cast<std::size_t>(dll));
    if (module == nullptr) {
        module = LoadLibraryW(FileName(dll));
    }
    return module;
}

#if defined(_WIN32_WCE)
FARPROC FindByName(HMODULE module, const char* name)
{
    // Exported names are ASCII.
    std::array<WCHAR, 64> wide{};
    std::size_t i = 0;
    for (; name[i] != 0 && i + 1 < wide.size(); ++i) {
        wide.at(i) = static_cast<WCHAR>(static_cast<unsigned char>(name[i]));
    }
    return name[i] == 0 ? GetProcAddressW(module, wide.data()) : nullptr;
}
#else
FARPROC FindByName(HMODULE module, const char* name)
{
    return GetProcAddress(module, name);
}
#endif

}  // namespace

FARPROC FindAtFirstUse(LateDll dll, const char* name)
{
    const HMODULE module = Load(dll);
    return module != nullptr ? FindByName(module, name) : nullptr;
}

}  // namespace platform

#endif  // _WIN32
