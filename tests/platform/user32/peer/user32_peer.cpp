// A second process for the tests of the window services.
//
//   user32_peer post WINDOW MESSAGE COUNT TAG   posts COUNT messages, wParam TAG, lParam 0, 1, ...
//   user32_peer register NAME                  prints the registered message number of NAME
//   user32_peer window CLASS TITLE             creates a window, then runs its message loop until
//                                              the window gets WM_CLOSE
//   user32_peer idle-after MILLISECONDS        sleeps, then waits for input for up to 60 s
//   user32_peer exit                           ends at once, never waiting for input
// Window handles and message numbers are accepted in any base strtoul reads (0x... for hex).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel32/winbase.h"
#include "platform/user32/winuser.h"

namespace {

unsigned long number(const char* text) {
    return std::strtoul(text, nullptr, 0);
}

int runLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return int(message.wParam);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "post" && argc == 6) {
        HWND window = reinterpret_cast<HWND>(uintptr_t(number(argv[2])));
        UINT message = UINT(number(argv[3]));
        unsigned long count = number(argv[4]);
        WPARAM tag = number(argv[5]);
        for (unsigned long i = 0; i < count; ++i) {
            if (!PostMessageA(window, message, tag, LPARAM(i))) {
                std::fprintf(stderr, "post %lu failed: error %lu\n", i,
                             (unsigned long)GetLastError());
                return 1;
            }
        }
        return 0;
    }
    if (command == "register" && argc == 3) {
        std::printf("%u\n", RegisterWindowMessageA(argv[2]));
        return 0;
    }
    if (command == "window" && argc == 4) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = windowProcedure;
        cls.lpszClassName = argv[2];
        if (!RegisterClassA(&cls)) return 1;
        HWND window = CreateWindowExA(0, argv[2], argv[3], WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 100, 100, nullptr, nullptr, nullptr, nullptr);
        if (window == nullptr) return 1;
        std::printf("0x%lX\n", (unsigned long)(uintptr_t)window);
        std::fflush(stdout);
        return runLoop();
    }
    if (command == "idle-after" && argc == 3) {
        Sleep(DWORD(number(argv[2])));
        SetTimer(nullptr, 0, 60000, nullptr);
        MSG message;
        GetMessageA(&message, nullptr, 0, 0);
        return 0;
    }
    if (command == "exit") return 3;
    std::fprintf(stderr, "usage: user32_peer post|register|window|idle-after|exit ...\n");
    return 2;
}
