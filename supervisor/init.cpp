// Start-up and clean-up of the supervisor's window, icons, tray icon and timer.

#include "supervisor/ko.h"

Supervisor supervisor;

BOOL InitApplication(HINSTANCE instance) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_BYTEALIGNWINDOW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = NULL;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = KO_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

BOOL InitInstance(HINSTANCE instance) {
    supervisor.instance = instance;
    supervisor.mainWindow =
        CreateWindowExA(0, KO_CLASS, KO_TITLE, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, NULL, NULL, instance, NULL);
    supervisor.iconSwitch40Off = LoadIconA(instance, MAKEINTRESOURCE(IDI_SWITCH40_OFF));
    supervisor.iconSwitch40On = LoadIconA(instance, MAKEINTRESOURCE(IDI_SWITCH40_ON));
    supervisor.iconDisconnected = LoadIconA(instance, MAKEINTRESOURCE(IDI_DISCONNECTED));
    supervisor.trayMessage = RegisterWindowMessageA(KO_TRAY_MESSAGE_NAME);
    addTrayIcon(supervisor.iconDisconnected);
    supervisor.timerId = SetTimer(supervisor.mainWindow, ID_POLL_TIMER, POLL_INTERVAL_MS, NULL);
    return supervisor.mainWindow != NULL;
}

void ExitCleanup() {
    if (supervisor.timerId != 0) KillTimer(supervisor.mainWindow, supervisor.timerId);
    supervisor.timerId = 0;
    deleteTrayIcon();
    DestroyIcon(supervisor.iconSwitch40Off);
    DestroyIcon(supervisor.iconSwitch40On);
    DestroyIcon(supervisor.iconDisconnected);
}
