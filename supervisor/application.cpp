// Starting the application and talking to it.

#include <cstdio>

#include "supervisor/ko.h"

BOOL findAndActivate(LPCSTR className) {
    HWND window = FindWindowA(className, NULL);
    if (window == NULL) return FALSE;
    HWND popup = GetLastActivePopup(window);
    BringWindowToTop(window);
    if (popup != NULL && popup != window) BringWindowToTop(popup);
    return TRUE;
}

BOOL startApplication() {
    supervisor.appWindow = NULL;
    supervisor.connected = 0;
    supervisor.option40 = 1;
    supervisor.option10 = supervisor.option20 = 0;
    supervisor.appMessage = APP_MESSAGE;

    if (findAndActivate(APP_CLASS)) return FALSE;

    char commandLine[64];
    std::snprintf(commandLine, sizeof commandLine, "%s.EXE %s", APP_PROGRAM, APP_ARGUMENT);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, NULL, NULL, &startup,
                        &process)) {
        MessageBoxA(NULL, "Could not start Ko", KO_TITLE,
                    MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
        return FALSE;
    }
    SetThreadPriority(process.hThread, THREAD_PRIORITY_HIGHEST);
    CloseHandle(process.hThread);
    supervisor.processHandle = process.hProcess;

    DWORD waited = WaitForInputIdle(process.hProcess, INPUT_IDLE_TIMEOUT_MS);
    supervisor.appWindow = FindWindowA(APP_CLASS, NULL);
    if (waited != 0 || supervisor.appWindow == NULL) {
        // The application is left running: the supervisor never ends it.
        MessageBoxA(NULL, "There was a problem starting Ko", KO_TITLE,
                    MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
        return FALSE;
    }
    postToApplication(CMD_HELLO, (LPARAM)supervisor.mainWindow);
    return TRUE;
}

// An application whose state cannot be read counts as gone, so that the supervisor can end.
BOOL applicationRunning() {
    DWORD exitCode = 0;
    return supervisor.processHandle != NULL &&
           GetExitCodeProcess(supervisor.processHandle, &exitCode) && exitCode == STILL_ACTIVE;
}

void postToApplication(UINT command, LPARAM value) {
    if (supervisor.appWindow != NULL)
        PostMessageA(supervisor.appWindow, supervisor.appMessage, command, value);
}

// A request carries the opposite of the mirror; the mirror changes only when the application
// reports the switch back.
void requestSwitch(UINT command, int mirror) {
    if (supervisor.connected) postToApplication(command, mirror == 0 ? 1 : 0);
}
