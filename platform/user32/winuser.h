#pragma once
// Window, message, timer, icon and message-box services with the Win32 names and meaning, shared
// by the processes of one desktop (see desktop.h).
//
// Windows. Every window is a top-level window (child windows are not supported), known to every
// process of the desktop by its handle, class name and title, in one Z order (the most recently
// created or raised window on top). A window may have an owner; GetLastActivePopup answers the
// owned window most recently activated (created visible, shown or raised). Only the process that
// created a window runs its window procedure and can destroy it. Window classes belong to the
// process that registers them. The window services are used from one thread per process.
//
// Messages. Each process has one message queue: a named pipe in the desktop directory. Posting a
// message to a window of any process of the desktop writes one record to that queue without ever
// waiting; a queue holds 16384 messages (2048 where the host refuses a larger pipe), and posting to
// a full queue fails with ERROR_NOT_ENOUGH_QUOTA. Records are written whole, so each queue keeps
// them in the order they were posted. The message loop returns posted messages first, then WM_QUIT
// once PostQuitMessage was called, then WM_TIMER for a timer that is due. Messages for a window
// that was destroyed meanwhile are dropped. SendMessageA reaches windows of the calling process
// only. The first time the loop finds nothing to do, the process counts as idle for input.
//
// Registered messages. RegisterWindowMessageA gives every process of the desktop the same number,
// 0xC000 to 0xFFFF, for the same name (compared without regard to case); window classes take their
// atoms from the same table.
//
// Timers. SetTimer delivers WM_TIMER through the message loop, at most one pending per timer. For
// tests, the environment variable VE_TIMER_SCALE (a factor above 0 and at most 1000) multiplies
// every timer's interval, so that a 15-second poll can run in a fraction of a second; nothing else
// changes.
//
// Message boxes. There is no screen: MessageBoxA writes the box to standard error, appends it to
// the desktop's record of message boxes, and returns the default button at once, without waiting
// for anyone.
//
// Icons. A program's icons come from its resource script (resources.h); LoadIconA gives the image
// of a resource closest to 32 x 32 pixels.

#include <cstdint>

#include "platform/kernel32/winbase.h"
#include "platform/win32_types.h"

using ATOM = WORD;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using HMENU = struct HMENU__*;
using HBRUSH = struct HBRUSH__*;
using HCURSOR = HICON;
using HGDIOBJ = void*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

#define MAKEINTRESOURCEA(id) \
    (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(name) ((reinterpret_cast<uintptr_t>(name) >> 16) == 0)
#define LOWORD(value) ((WORD)((uintptr_t)(value)&0xFFFF))
#define HIWORD(value) ((WORD)(((uintptr_t)(value) >> 16) & 0xFFFF))

#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_INVALID_CURSOR_HANDLE 1402
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_NOT_GUI_PROCESS 1471
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814
#define ERROR_NOT_ENOUGH_QUOTA 1816

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_USER 0x0400

#define SC_CLOSE 0xF060

// Class and window styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_BYTEALIGNWINDOW 0x2000
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT (static_cast<int>(0x80000000))

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// PeekMessageA options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Timers.
#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF

// Message boxes.
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// System cursors and stock objects.
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

extern "C" {

// Entry point of a windowed program, called by the layer's program start (library ve_winmain)
// with the program's instance handle and its command line without the program name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int show);

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass);

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND owner, HMENU menu,
                            HINSTANCE instance, LPVOID parameter);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI UpdateWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
BOOL WINAPI BringWindowToTop(HWND window);
HWND WINAPI GetLastActivePopup(HWND window);
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last);
BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
UINT WINAPI RegisterWindowMessageA(LPCSTR name);

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);

DWORD WINAPI WaitForInputIdle(HANDLE process, DWORD milliseconds);

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI DestroyIcon(HICON icon);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HGDIOBJ WINAPI GetStockObject(int object);

}  // extern "C"
