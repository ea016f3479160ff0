#include "app/control_window.h"

#include "app/app_state.h"
#include "platform/process.h"

namespace {

constexpr const WCHAR* kClassName = WTEXT("HIDE_WINDOW");

}  // namespace

bool ControlWindow::RegisterWindowClass(WNDPROC procedure)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance_;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

bool ControlWindow::Create(WNDPROC procedure)
{
    if (!RegisterWindowClass(procedure)) {
        return false;
    }
    // The title is the module's file name; nothing reads it, so a failed read leaves it empty.
    WCHAR title[MAX_PATH] = {};
    if (GetModuleFileNameW(instance_, title, MAX_PATH) == 0) {
        title[0] = 0;
    }
    title[MAX_PATH - 1] = 0;
    window_ = CreateWindowExW(0, kClassName, title, 0, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
    return window_ != nullptr;
}

int ControlWindow::Run()
{
    if (window_ == nullptr) {
        return 0;
    }
    MSG msg{};
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            // The loop can't go on; looping on the error would spin for ever.
            return kExitRunFailed;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
