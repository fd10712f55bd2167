#pragma once
// ko: the supervisor of the 16-bit application KO16. It starts the application, owns the tray
// icon on its behalf, relays clicks on the icon to it as commands, mirrors three of its switches
// in the icon, and ends after the application has ended. Everything happens in the window
// procedure of one hidden window; the application and the supervisor talk only through one
// private message, posted to each other's window, whose wParam is a command word and whose
// lParam is the command's value.

#include "platform/kernel32/winbase.h"
#include "platform/shell/shellapi.h"
#include "platform/user32/winuser.h"

// Names.
#define KO_CLASS "KO32"
#define KO_TITLE "Ko Supervisor"
#define KO_TRAY_MESSAGE_NAME "KO32UWM_NOTIFYICON:Controls"
#define KO_TRAY_TIP "Ko"
#define APP_CLASS "KO16"
#define APP_PROGRAM "KO16"
#define APP_ARGUMENT "/c"

// Resources and identifiers.
#define IDI_SWITCH40_OFF 803
#define IDI_SWITCH40_ON 804
#define IDI_DISCONNECTED 805
#define ID_TRAY_ICON 901
#define IDM_SWITCH40 900  // WM_SYSCOMMAND command: ask for switch 0x40 to flip
#define ID_POLL_TIMER 1
#define POLL_INTERVAL_MS 15000
#define INPUT_IDLE_TIMEOUT_MS 20000

// The private message, a fixed number both sides know.
#define APP_MESSAGE 0xD479

// Supervisor to application.
#define CMD_HELLO 0x1100         // value: the supervisor's main window
#define CMD_CLOSE 0x1200         // value: 0
#define CMD_SET_SWITCH10 0x1410  // value: the wanted state, 1 or 0
#define CMD_SET_SWITCH20 0x1420
#define CMD_SET_SWITCH40 0x1440

// Application to supervisor: REPORT_BIT plus one of the kinds below.
#define REPORT_BIT 0x2000
#define REPORT_CONNECTION 0x0100  // value 1: connected; 0: refused
#define REPORT_DISCONNECT 0x0200  // value 1
#define REPORT_SWITCH 0x0400      // plus the switch bit; value: its new state
#define SWITCH10 0x0010
#define SWITCH20 0x0020
#define SWITCH40 0x0040

// The program's state.
struct Supervisor {
    HINSTANCE instance;
    HWND mainWindow;
    HICON iconSwitch40Off;             // 803
    HICON iconSwitch40On;              // 804
    HICON iconDisconnected;            // 805
    UINT trayMessage;                  // registered from KO_TRAY_MESSAGE_NAME
    UINT appMessage;                   // APP_MESSAGE once the application is being started
    UINT_PTR timerId;                  // the poll timer, 0 when there is none
    HANDLE processHandle;              // the started application
    HWND appWindow;                    // its main window, null until found
    int connected;                     // it confirmed the connection
    int option10, option20, option40;  // its switches as it last reported them
    UINT lastMouseDown;  // last button-down message on the tray icon, 0 after a button-up
};

extern Supervisor supervisor;

// Start-up pieces (init.cpp).
BOOL InitApplication(HINSTANCE instance);  // registers the window class
BOOL InitInstance(HINSTANCE instance);     // window, icons, tray icon, poll timer
void ExitCleanup();                        // timer, tray icon, icons

// The application (application.cpp).
BOOL findAndActivate(LPCSTR className);
BOOL startApplication();
BOOL applicationRunning();
void postToApplication(UINT command, LPARAM value);
void requestSwitch(UINT command, int mirror);

// The tray icon (tray_icon.cpp).
BOOL addTrayIcon(HICON icon);
BOOL changeTrayIcon(HICON icon);
BOOL deleteTrayIcon();

// The window procedure and the two kinds of events it relays (window_proc.cpp).
extern "C" LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void onApplicationCommand(UINT command, LPARAM value);
void onTrayEvent(UINT iconId, UINT mouseMessage);
