#pragma once
// Small helpers for the window-service tests: a window class of the test's own and a window.

#include "platform/user32/winuser.h"

namespace ve::testing {

inline LRESULT CALLBACK plainWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registers the class once per process and creates a window of it.
inline HWND createTestWindow(const char* title = "test", DWORD style = 0, HWND owner = nullptr,
                             const char* className = "VE TEST") {
    WNDCLASSA cls{};
    cls.lpfnWndProc = plainWindowProcedure;
    cls.lpszClassName = className;
    RegisterClassA(&cls);  // fails harmlessly once the class exists
    return CreateWindowExA(0, className, title, style, 0, 0, 10, 10, owner, nullptr, nullptr,
                           nullptr);
}

inline std::string handleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lX", (unsigned long)(uintptr_t)window);
    return text;
}

}  // namespace ve::testing
