#pragma once
// The shell's notification-area (tray) icons with the Win32 names and meaning.
//
// The icons of a desktop live in the folder "tray" of the desktop directory, one file per icon,
// named after its owner window and identifier, holding the callback message, the tip, the resource
// the icon came from and its image. The program `tray` plays the shell's part: it lists them,
// sends them clicks as the shell does (posting the callback message with the identifier as wParam
// and the mouse message as lParam), and shows their image.
//
// As on the original platform, an icon stays until its owner deletes it, even after the owner
// window is gone; the shell drops such an icon when it next tries to reach it. Deleting needs only
// the window handle and identifier, so an icon can be deleted after its window was destroyed.

#include "platform/kernel32/slot32.h"
#include "platform/win32_types.h"

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

// The record as the 32-bit platform lays it out, with a tip of at most 63 characters.
struct NOTIFYICONDATAA {
    DWORD cbSize;
    Slot32<HWND> hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    Slot32<HICON> hIcon;
    CHAR szTip[64];
};
static_assert(sizeof(NOTIFYICONDATAA) == 88, "NOTIFYICONDATAA keeps the 32-bit platform's layout");
using PNOTIFYICONDATAA = NOTIFYICONDATAA*;

extern "C" {

// Adds, changes or deletes the icon (hWnd, uID). Adding needs a window of the desktop and fails
// for an icon that exists; changing and deleting fail for one that does not. cbSize must be
// sizeof(NOTIFYICONDATAA); an icon must be a handle from LoadIconA. FALSE on failure.
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

}  // extern "C"
