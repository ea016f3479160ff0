// The hidden top-level window whose procedure carries the whole run, and its message loop.
#pragma once

#include "platform/window.h"

class ControlWindow {
public:
    explicit ControlWindow(HINSTANCE instance) : instance_(instance) {}

    // Registers "HIDE_WINDOW" with procedure and creates the window; true when it exists.
    bool Create(WNDPROC procedure);
    bool RegisterWindowClass(WNDPROC procedure);

    // Runs the message loop until the quit message; answers its parameter, or 0 without a
    // window.
    int Run();

    [[nodiscard]] HWND Window() const noexcept { return window_; }

private:
    HINSTANCE instance_;
    HWND window_ = nullptr;
};
