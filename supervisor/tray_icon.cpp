// The tray icon 901.

#include <cstring>

#include "supervisor/ko.h"

namespace {

void describe(NOTIFYICONDATAA& data, UINT flags) {
    ZeroMemory(&data, sizeof data);
    data.cbSize = sizeof data;
    data.hWnd = supervisor.mainWindow;
    data.uID = ID_TRAY_ICON;
    data.uFlags = flags;
}

}  // namespace

BOOL addTrayIcon(HICON icon) {
    NOTIFYICONDATAA data;
    describe(data, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = supervisor.trayMessage;
    data.hIcon = icon;
    std::strncpy(data.szTip, KO_TRAY_TIP, sizeof data.szTip - 1);
    return Shell_NotifyIconA(NIM_ADD, &data);
}

BOOL changeTrayIcon(HICON icon) {
    NOTIFYICONDATAA data;
    describe(data, NIF_ICON);
    data.hIcon = icon;
    return Shell_NotifyIconA(NIM_MODIFY, &data);
}

BOOL deleteTrayIcon() {
    NOTIFYICONDATAA data;
    describe(data, 0);
    return Shell_NotifyIconA(NIM_DELETE, &data);
}
