#include <cstring>

#include "platform/shell/shellapi.h"
#include "platform/shell/tray_store.h"
#include "platform/user32/icons.h"
#include "platform/user32/winuser.h"

using namespace ve;

extern "C" BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    if (data == nullptr || data->cbSize != sizeof(NOTIFYICONDATAA) || message > NIM_DELETE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HWND window = data->hWnd;
    uint32_t owner = uint32_t(reinterpret_cast<uintptr_t>(window));
    if (message == NIM_ADD && !IsWindow(window)) return FALSE;  // IsWindow set the error

    std::optional<user::IconDescription> icon;
    if (message != NIM_DELETE && (data->uFlags & NIF_ICON)) {
        icon = user::describeIcon(data->hIcon);
        if (!icon) {
            SetLastError(ERROR_INVALID_CURSOR_HANDLE);
            return FALSE;
        }
    }

    std::string desktop = ve::desktop::directory();
    if (desktop.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ve::desktop::Lock lock(desktop);
    if (!lock.held()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto existing = shell::readTrayIcon(desktop, owner, data->uID);
    if ((message == NIM_ADD) == existing.has_value()) {
        SetLastError(message == NIM_ADD ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (message == NIM_DELETE) return shell::removeTrayIcon(desktop, owner, data->uID);

    shell::TrayIcon entry;
    if (existing) {
        entry = *existing;
    } else {
        entry.owner = owner;
        entry.id = data->uID;
        entry.process = ve::desktop::currentProcess();
        entry.order = shell::nextTrayOrder(desktop);
    }
    entry.flags |= data->uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
    if (data->uFlags & NIF_MESSAGE) entry.callbackMessage = data->uCallbackMessage;
    if (data->uFlags & NIF_TIP)
        entry.tip.assign(data->szTip, strnlen(data->szTip, sizeof data->szTip - 1));
    if (icon) {
        entry.iconResource = icon->resourceId;
        entry.iconFile = icon->iconFile;
    }
    if (!shell::writeTrayIcon(desktop, entry)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
