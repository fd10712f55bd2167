// The supervisor's entry point.

#include "supervisor/ko.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // One supervisor per desktop: a second one hands over to the first.
    if (findAndActivate(KO_CLASS)) return 0;

    if (commandLine != NULL && *commandLine != '\0') {
        MessageBoxA(NULL, "Unexpected command line arguments", NULL, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }

    if (!InitApplication(instance)) return 0;
    if (!InitInstance(instance)) return 0;
    ShowWindow(supervisor.mainWindow, SW_HIDE);
    UpdateWindow(supervisor.mainWindow);

    if (!startApplication()) {
        ExitCleanup();
        return 0;
    }

    // GetMessageA answers -1 on an error; that must end the loop rather than spin in it.
    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ExitCleanup();
    return (int)message.wParam;
}
