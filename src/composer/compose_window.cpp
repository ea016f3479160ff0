#include "composer/compose_window.h"

#include <array>

#include "platform/window.h"

namespace {

constexpr int kClassNameLength = 256;
using ClassNameBuffer = std::array<WCHAR, kClassNameLength>;

// The compose window and the first child of each level below it, by class; the level under
// the last one must exist but may be of any class.
constexpr std::array<const WCHAR*, 3> kComposeChain = {WTEXT("Dialog"), WTEXT("Worker"), WTEXT("PIEHTML")};

// Exact, case-sensitive equality of the whole class name. A window that isn't there, or whose
// class can't be read, has no class.
bool HasClass(HWND window, WStringView required, ClassNameBuffer& buffer)
{
    if (window == nullptr) {
        return false;
    }
    const int length = GetClassNameW(window, buffer.data(), kClassNameLength);
    if (length <= 0 || length >= kClassNameLength) {
        return false;
    }
    return WStringView(buffer.data(), static_cast<std::size_t>(length)) == required;
}

}  // namespace

int IsComposeWindow(HWND window)
{
    ClassNameBuffer buffer{};
    HWND level = window;
    for (const WCHAR* required : kComposeChain) {
        if (!HasClass(level, required, buffer)) {
            return 0;
        }
        level = GetWindow(level, GW_CHILD);
    }
    return level != nullptr ? 1 : 0;
}
