// A stand-in for the 16-bit application KO16, for tests and demonstrations of the supervisor.
//
// It is a windowed program like the original: a window of class "KO16" that confirms the
// supervisor's hello, answers each switch request by reporting the switch's new value, and on the
// close request reports the disconnect and exits. The supervisor starts it as "KO16.EXE /c", so
// its options come from the environment variable KO16_OPTIONS; they make it misbehave on purpose:
//
//   --refuse             answer the hello with 0x2100 / 0 (refuse the connection)
//   --answer WORD:VALUE  answer the hello with this command instead of 0x2100 / 1
//   --send WORD:VALUE    after answering the hello, also post this command (repeatable, in order)
//   --no-window          never create the window
//   --idle-after MS      wait this long after start-up before taking any input
//   --exit-after MS      exit on its own, without telling the supervisor, this long after start
//                        (a timer: VE_TIMER_SCALE applies, as to every timer)
//   --exit-code N        the exit code when it exits on its own (default 0)
//   --popup              also show an owned popup window, as a dialog box of the original would
//
// Everything it receives and sends is written, one line each, to the file named by the
// environment variable KO16_JOURNAL (when set) and to standard error.

#include <CLI/CLI.hpp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kernel32/winbase.h"
#include "platform/user32/winuser.h"

namespace {

constexpr UINT kAppMessage = 0xD479;
constexpr UINT_PTR kExitTimer = 1;
UINT_PTR exitTimerId = 0;

struct Options {
    bool refuse = false;
    std::string answer;
    std::vector<std::string> sends;
    bool noWindow = false;
    DWORD idleAfter = 0;
    DWORD exitAfter = 0;
    int exitCode = 0;
    bool popup = false;
};

struct Command {
    UINT word;
    LPARAM value;
};

Options options;
std::vector<Command> sends;
Command answer{0x2100, 1};
HWND supervisorWindow = NULL;
HWND mainWindow = NULL;
int switches[3] = {0, 0, 1};  // 0x10, 0x20, 0x40
int exitCode = 0;

void journal(const char* format, ...) __attribute__((format(printf, 1, 2)));
void journal(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "KO16: %s\n", line);
    if (const char* path = std::getenv("KO16_JOURNAL")) {
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
    }
}

bool parseCommand(const std::string& text, Command& command) {
    char* end = nullptr;
    unsigned long word = std::strtoul(text.c_str(), &end, 0);
    if (end == text.c_str() || *end != ':' || word > 0xFFFF) return false;
    const char* valueText = end + 1;
    long value = std::strtol(valueText, &end, 0);
    if (end == valueText || *end != '\0') return false;
    command = {UINT(word), LPARAM(value)};
    return true;
}

void report(UINT word, LPARAM value) {
    BOOL posted = PostMessageA(supervisorWindow, kAppMessage, word, value);
    journal("sent 0x%04X %ld%s", word, long(value), posted ? "" : " (failed)");
}

void onCommand(HWND window, UINT word, LPARAM value) {
    journal("recv 0x%04X %ld", word, long(value));
    switch (word) {
        case 0x1100:
            supervisorWindow = (HWND)value;
            journal("priority %d", GetThreadPriority(GetCurrentThread()));
            report(answer.word, answer.value);
            for (const Command& command : sends) report(command.word, command.value);
            break;
        case 0x1200:
            report(0x2200, 1);
            DestroyWindow(window);
            break;
        case 0x1410:
        case 0x1420:
        case 0x1440:
            if (value == 0 || value == 1) {
                switches[word == 0x1410 ? 0 : word == 0x1420 ? 1 : 2] = int(value);
                report(word + 0x1000, value);
            }
            break;
        default:
            break;
    }
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == exitTimerId) {
                journal("exit on its own");
                exitCode = options.exitCode;
                if (window != NULL) DestroyWindow(window);
                PostQuitMessage(exitCode);
            }
            return 0;
        case WM_DESTROY:
            if (window == mainWindow) PostQuitMessage(exitCode);
            return 0;
        default:
            if (message == kAppMessage) {
                onCommand(window, UINT(wParam), lParam);
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool readOptions(const char* commandLine) {
    std::string line = commandLine != nullptr ? commandLine : "";
    if (!line.empty() && line != "/c") {
        std::fprintf(stderr, "KO16: unexpected command line \"%s\" (expected /c)\n", line.c_str());
        return false;
    }
    CLI::App app{"KO16 stand-in", "KO16"};
    app.add_flag("--refuse", options.refuse);
    app.add_option("--answer", options.answer);
    app.add_option("--send", options.sends);
    app.add_flag("--no-window", options.noWindow);
    app.add_option("--idle-after", options.idleAfter);
    app.add_option("--exit-after", options.exitAfter);
    app.add_option("--exit-code", options.exitCode);
    app.add_flag("--popup", options.popup);
    const char* text = std::getenv("KO16_OPTIONS");
    try {
        app.parse(text != nullptr ? text : "", false);
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "KO16: KO16_OPTIONS: %s\n", error.what());
        return false;
    }
    if (options.refuse) answer = {0x2100, 0};
    if (!options.answer.empty() && !parseCommand(options.answer, answer)) {
        std::fprintf(stderr, "KO16: --answer %s: expected WORD:VALUE, e.g. 0x2300:1\n",
                     options.answer.c_str());
        return false;
    }
    for (const std::string& text : options.sends) {
        Command command;
        if (!parseCommand(text, command)) {
            std::fprintf(stderr, "KO16: --send %s: expected WORD:VALUE, e.g. 0x2440:0\n",
                         text.c_str());
            return false;
        }
        sends.push_back(command);
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (!readOptions(commandLine)) return 2;
    journal("start pid=%lu", (unsigned long)GetCurrentProcessId());

    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "KO16";
    if (!RegisterClassA(&windowClass)) return 1;
    // The popup has a class of its own, as a dialog box would, so that only the main window
    // answers to the class "KO16".
    windowClass.lpszClassName = "KO16 Popup";
    if (!RegisterClassA(&windowClass)) return 1;

    if (!options.noWindow) {
        mainWindow = CreateWindowExA(0, "KO16", "Ko", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, 320, 200, NULL, NULL, instance, NULL);
        if (mainWindow == NULL) return 1;
        journal("window 0x%lX", (unsigned long)(uintptr_t)mainWindow);
        if (options.popup) {
            HWND popup = CreateWindowExA(0, "KO16 Popup", "Ko settings",
                                         WS_POPUP | WS_CAPTION | WS_VISIBLE, CW_USEDEFAULT,
                                         CW_USEDEFAULT, 200, 100, mainWindow, NULL, instance, NULL);
            journal("popup 0x%lX", (unsigned long)(uintptr_t)popup);
        }
    }
    if (options.exitAfter != 0)
        exitTimerId = SetTimer(mainWindow, kExitTimer, options.exitAfter, NULL);
    if (options.idleAfter != 0) Sleep(options.idleAfter);

    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        // Without a window, the exit timer reaches the loop with no window to dispatch to.
        if (message.hwnd == NULL && message.message == WM_TIMER)
            WindowProcedure(NULL, message.message, message.wParam, message.lParam);
        else
            DispatchMessageA(&message);
    }
    journal("exit %d", int(message.wParam));
    return int(message.wParam);
}
