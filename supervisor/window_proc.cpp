// The window procedure: the application's reports, tray events, closing and the poll timer.

#include "supervisor/ko.h"

void onApplicationCommand(UINT command, LPARAM value) {
    if (!(command & REPORT_BIT)) return;
    // The first kind that matches decides, in this order; other values are ignored.
    if (command & REPORT_CONNECTION) {
        if (value == 1) {
            supervisor.connected = 1;
            changeTrayIcon(supervisor.option40 ? supervisor.iconSwitch40On
                                               : supervisor.iconSwitch40Off);
        } else if (value == 0) {
            postToApplication(CMD_CLOSE, 0);
        }
    } else if (command & REPORT_DISCONNECT) {
        if (value == 1) {
            supervisor.connected = 0;
            changeTrayIcon(supervisor.iconDisconnected);
            PostMessageA(supervisor.mainWindow, WM_CLOSE, 0, 0);
        }
    } else if (command & REPORT_SWITCH) {
        if (value != 0 && value != 1) return;
        if (command & SWITCH10) {
            supervisor.option10 = (int)value;
        } else if (command & SWITCH20) {
            supervisor.option20 = (int)value;
        } else if (command & SWITCH40) {
            supervisor.option40 = (int)value;
            changeTrayIcon(value ? supervisor.iconSwitch40On : supervisor.iconSwitch40Off);
        }
    }
}

void onTrayEvent(UINT iconId, UINT mouseMessage) {
    if (iconId != ID_TRAY_ICON) return;
    // Any event on the icon doubles as a check that the application still runs.
    if (!applicationRunning()) PostMessageA(supervisor.mainWindow, WM_CLOSE, 0, 0);
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
            supervisor.lastMouseDown = mouseMessage;
            break;
        case WM_LBUTTONUP:
            // A double-click ends with a second button-up after WM_LBUTTONDBLCLK: its first
            // button-up has already asked for switch 0x20.
            if (supervisor.lastMouseDown == WM_LBUTTONDOWN)
                requestSwitch(CMD_SET_SWITCH20, supervisor.option20);
            else if (supervisor.lastMouseDown == WM_LBUTTONDBLCLK)
                requestSwitch(CMD_SET_SWITCH10, supervisor.option10);
            supervisor.lastMouseDown = 0;
            break;
        case WM_RBUTTONUP:
            if (supervisor.lastMouseDown == WM_RBUTTONDOWN)
                PostMessageA(supervisor.mainWindow, WM_CLOSE, 0, 0);
            supervisor.lastMouseDown = 0;
            break;
        default:
            break;
    }
}

extern "C" LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == supervisor.appMessage && supervisor.appMessage != 0) {
        onApplicationCommand((UINT)wParam, lParam);
        return 0;
    }
    if (message == supervisor.trayMessage && supervisor.trayMessage != 0) {
        onTrayEvent((UINT)wParam, (UINT)lParam);
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            if (supervisor.processHandle != NULL) CloseHandle(supervisor.processHandle);
            supervisor.processHandle = NULL;
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            // Ask the application to close; the supervisor follows once it is gone.
            if (applicationRunning())
                postToApplication(CMD_CLOSE, 0);
            else
                DestroyWindow(window);
            return 0;
        case WM_COMMAND:
            DefWindowProcA(window, message, wParam, lParam);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == IDM_SWITCH40)
                requestSwitch(CMD_SET_SWITCH40, supervisor.option40);
            else
                DefWindowProcA(window, message, wParam, lParam);
            return 0;
        case WM_TIMER:
            if (wParam == supervisor.timerId && !applicationRunning())
                PostMessageA(window, WM_CLOSE, 0, 0);
            return DefWindowProcA(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
