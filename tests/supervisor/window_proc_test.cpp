// The supervisor's window procedure driven in-process: the application's reports, tray events,
// the system command, closing and the poll timer. The application's window is a window of the
// test, so the requests posted to it can be read back in order.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <utility>
#include <vector>

#include "platform/shell/tray_store.h"
#include "platform/user32/resources.h"
#include "process_harness.h"
#include "supervisor/ko.h"

namespace ve::testing {
namespace {

using Posted = std::vector<std::pair<UINT, LPARAM>>;

struct StartedProcess {
    HANDLE handle = nullptr;
    pid_t pid = 0;
};

// Starts a host program through the layer, as the supervisor starts the application.
StartedProcess startProcess(const char* commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return {};
    CloseHandle(info.hThread);
    return {info.hProcess, pid_t(info.dwProcessId)};
}

LRESULT CALLBACK applicationWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class SupervisorWindowProc : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.activate();
        HINSTANCE instance = resources::programInstance();
        static bool registered = [&] {
            WNDCLASSA cls{};
            cls.lpfnWndProc = applicationWindowProcedure;
            cls.lpszClassName = "KO16";
            return InitApplication(instance) && RegisterClassA(&cls) != 0;
        }();
        ASSERT_TRUE(registered);
        supervisor = Supervisor{};
        ASSERT_TRUE(InitInstance(instance));
        application =
            CreateWindowExA(0, "KO16", "Ko", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(application, nullptr);
        supervisor.appWindow = application;
        supervisor.appMessage = APP_MESSAGE;
        supervisor.option40 = 1;
        setApplicationRunning(true);
    }

    void TearDown() override {
        if (supervisor.mainWindow != nullptr && IsWindow(supervisor.mainWindow)) {
            ExitCleanup();
            DestroyWindow(supervisor.mainWindow);
        }
        if (application != nullptr) DestroyWindow(application);
        endProcess();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // Gives the supervisor a running application (sleep) or one that has already ended (true).
    void setApplicationRunning(bool running) {
        endProcess();
        process = startProcess(running ? "sleep 60" : "true");
        ASSERT_NE(process.handle, nullptr);
        if (!running) {
            DWORD code = STILL_ACTIVE;
            ASSERT_TRUE(waitUntil(
                [&] { return GetExitCodeProcess(process.handle, &code) && code != STILL_ACTIVE; }));
        }
        supervisor.processHandle = process.handle;
    }

    void endProcess() {
        if (process.pid != 0) {
            ::kill(process.pid, SIGKILL);
            ::waitpid(process.pid, nullptr, 0);
        }
        if (supervisor.processHandle != nullptr) CloseHandle(supervisor.processHandle);
        supervisor.processHandle = nullptr;
        process = {};
    }

    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return WndProc(supervisor.mainWindow, message, wParam, lParam);
    }

    // The requests posted to the application so far, in order.
    Posted postedToApplication() {
        Posted posted;
        MSG message;
        while (PeekMessageA(&message, application, 0, 0, PM_REMOVE))
            if (message.message == APP_MESSAGE)
                posted.emplace_back(UINT(message.wParam), message.lParam);
        return posted;
    }

    // How many WM_CLOSE the supervisor posted to itself so far.
    int closesPosted() {
        int closes = 0;
        MSG message;
        while (PeekMessageA(&message, supervisor.mainWindow, WM_CLOSE, WM_CLOSE, PM_REMOVE))
            ++closes;
        return closes;
    }

    unsigned trayIcon() {
        for (const auto& icon : shell::readTrayIcons(desktop.path()))
            if (icon.id == ID_TRAY_ICON) return icon.iconResource;
        return 0;
    }

    TemporaryDesktop desktop;
    HWND application = nullptr;
    StartedProcess process;
};

TEST_F(SupervisorWindowProc, StartsWithTheCrossedOutIconAndTheRegisteredCallback) {
    auto icons = shell::readTrayIcons(desktop.path());
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].iconResource, 805u);
    EXPECT_EQ(icons[0].tip, "Ko");
    EXPECT_EQ(icons[0].callbackMessage, RegisterWindowMessageA("KO32UWM_NOTIFYICON:Controls"));
    EXPECT_EQ(supervisor.timerId, UINT_PTR(ID_POLL_TIMER));
}

struct ReportCase {
    const char* name;
    int connected, option10, option20, option40;  // before
    UINT command;
    LPARAM value;
    int expectConnected, expectOption10, expectOption20, expectOption40;
    unsigned expectIcon;
    Posted expectPosted;
    int expectCloses;
};

void PrintTo(const ReportCase& row, std::ostream* out) {
    *out << row.name;
}

class ApplicationReports : public SupervisorWindowProc,
                           public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ApplicationReports, FollowTheTableInOrderOfPrecedence) {
    const ReportCase& row = GetParam();
    supervisor.connected = row.connected;
    supervisor.option10 = row.option10;
    supervisor.option20 = row.option20;
    supervisor.option40 = row.option40;
    EXPECT_EQ(send(APP_MESSAGE, row.command, row.value), 0);
    EXPECT_EQ(supervisor.connected, row.expectConnected);
    EXPECT_EQ(supervisor.option10, row.expectOption10);
    EXPECT_EQ(supervisor.option20, row.expectOption20);
    EXPECT_EQ(supervisor.option40, row.expectOption40);
    EXPECT_EQ(trayIcon(), row.expectIcon);
    EXPECT_EQ(postedToApplication(), row.expectPosted);
    EXPECT_EQ(closesPosted(), row.expectCloses);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApplicationReports,
    ::testing::Values(
        ReportCase{"ConnectedWithSwitch40On", 0, 0, 0, 1, 0x2100, 1, 1, 0, 0, 1, 804, {}, 0},
        ReportCase{"ConnectedWithSwitch40Off", 0, 0, 0, 0, 0x2100, 1, 1, 0, 0, 0, 803, {}, 0},
        ReportCase{
            "RefusedIsAnsweredWithClose", 0, 0, 0, 1, 0x2100, 0, 0, 0, 0, 1, 805, {{0x1200, 0}}, 0},
        ReportCase{"ConnectionWithOtherValue", 0, 0, 0, 1, 0x2100, 2, 0, 0, 0, 1, 805, {}, 0},
        ReportCase{"Bit0100BeatsBit0200", 0, 0, 0, 1, 0x2300, 1, 1, 0, 0, 1, 804, {}, 0},
        ReportCase{"Bit0100BeatsBit0400", 0, 0, 0, 1, 0x2540, 0, 0, 0, 0, 1, 805, {{0x1200, 0}}, 0},
        ReportCase{"Disconnect", 1, 0, 0, 1, 0x2200, 1, 0, 0, 0, 1, 805, {}, 1},
        ReportCase{"DisconnectWithOtherValue", 1, 0, 0, 1, 0x2200, 0, 1, 0, 0, 1, 805, {}, 0},
        ReportCase{"Bit0200BeatsBit0400", 1, 0, 0, 1, 0x2640, 0, 1, 0, 0, 1, 805, {}, 0},
        ReportCase{"Switch10", 1, 0, 0, 1, 0x2410, 1, 1, 1, 0, 1, 805, {}, 0},
        ReportCase{"Switch20", 1, 0, 0, 1, 0x2420, 1, 1, 0, 1, 1, 805, {}, 0},
        ReportCase{"Switch10BeatsSwitch20", 1, 0, 0, 1, 0x2430, 1, 1, 1, 0, 1, 805, {}, 0},
        ReportCase{"Switch20BeatsSwitch40", 1, 0, 1, 1, 0x2460, 0, 1, 0, 0, 1, 805, {}, 0},
        ReportCase{"Switch40Off", 1, 0, 0, 1, 0x2440, 0, 1, 0, 0, 0, 803, {}, 0},
        ReportCase{"Switch40On", 1, 0, 0, 0, 0x2440, 1, 1, 0, 0, 1, 804, {}, 0},
        ReportCase{"SwitchWithOtherValue", 1, 1, 1, 1, 0x2410, 2, 1, 1, 1, 1, 805, {}, 0},
        ReportCase{"SwitchWithoutSwitchBit", 1, 0, 0, 1, 0x2400, 1, 1, 0, 0, 1, 805, {}, 0},
        ReportCase{"WithoutReportBit", 0, 0, 0, 1, 0x0100, 1, 0, 0, 0, 1, 805, {}, 0},
        ReportCase{"ReportBitAlone", 0, 0, 0, 1, 0x2000, 1, 0, 0, 0, 1, 805, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct TrayCase {
    const char* name;
    int connected, option10, option20;
    bool applicationRunning;
    UINT iconId;
    std::vector<UINT> mouse;
    Posted expectPosted;
    int expectCloses;
    UINT expectLastMouseDown;
};

void PrintTo(const TrayCase& row, std::ostream* out) {
    *out << row.name;
}

class TrayEvents : public SupervisorWindowProc, public ::testing::WithParamInterface<TrayCase> {};

TEST_P(TrayEvents, RelayClicksAsRequests) {
    const TrayCase& row = GetParam();
    supervisor.connected = row.connected;
    supervisor.option10 = row.option10;
    supervisor.option20 = row.option20;
    supervisor.lastMouseDown = WM_RBUTTONDOWN;  // left over from before, unless an event resets it
    if (!row.applicationRunning) setApplicationRunning(false);
    for (UINT mouse : row.mouse) EXPECT_EQ(send(supervisor.trayMessage, row.iconId, mouse), 0);
    EXPECT_EQ(postedToApplication(), row.expectPosted);
    EXPECT_EQ(closesPosted(), row.expectCloses);
    EXPECT_EQ(supervisor.lastMouseDown, row.expectLastMouseDown);
    // Requests never change the mirrors; only the application's reports do.
    EXPECT_EQ(supervisor.option10, row.option10);
    EXPECT_EQ(supervisor.option20, row.option20);
}

const std::vector<UINT> kLeftClick{WM_LBUTTONDOWN, WM_LBUTTONUP};
const std::vector<UINT> kDoubleClick{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
const std::vector<UINT> kRightClick{WM_RBUTTONDOWN, WM_RBUTTONUP};

INSTANTIATE_TEST_SUITE_P(
    Rows, TrayEvents,
    ::testing::Values(
        TrayCase{"LeftClick", 1, 0, 0, true, 901, kLeftClick, {{0x1420, 1}}, 0, 0},
        TrayCase{"LeftClickWithSwitch20On", 1, 0, 1, true, 901, kLeftClick, {{0x1420, 0}}, 0, 0},
        TrayCase{"DoubleClickMakesTwoRequests",
                 1,
                 0,
                 0,
                 true,
                 901,
                 kDoubleClick,
                 {{0x1420, 1}, {0x1410, 1}},
                 0,
                 0},
        TrayCase{"DoubleClickWithSwitchesOn",
                 1,
                 1,
                 1,
                 true,
                 901,
                 kDoubleClick,
                 {{0x1420, 0}, {0x1410, 0}},
                 0,
                 0},
        TrayCase{"LeftClickBeforeConnection", 0, 0, 0, true, 901, kLeftClick, {}, 0, 0},
        TrayCase{"RightClickAsksToClose", 1, 0, 0, true, 901, kRightClick, {}, 1, 0},
        TrayCase{"RightClickBeforeConnection", 0, 0, 0, true, 901, kRightClick, {}, 1, 0},
        TrayCase{
            "RightPressLeftRelease", 1, 0, 0, true, 901, {WM_RBUTTONDOWN, WM_LBUTTONUP}, {}, 0, 0},
        TrayCase{
            "LeftPressRightRelease", 1, 0, 0, true, 901, {WM_LBUTTONDOWN, WM_RBUTTONUP}, {}, 0, 0},
        TrayCase{
            "ReleaseAloneAfterAnEarlierRightPress", 1, 0, 0, true, 901, {WM_LBUTTONUP}, {}, 0, 0},
        TrayCase{"OtherMouseMessagesChangeNothing",
                 1,
                 0,
                 0,
                 true,
                 901,
                 {WM_MOUSEMOVE, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP},
                 {},
                 0,
                 WM_RBUTTONDOWN},
        TrayCase{"OtherIconIsIgnored", 1, 0, 0, false, 902, kLeftClick, {}, 0, WM_RBUTTONDOWN},
        TrayCase{"AnyEventFindsTheApplicationGone",
                 1,
                 0,
                 0,
                 false,
                 901,
                 {WM_MOUSEMOVE},
                 {},
                 1,
                 WM_RBUTTONDOWN},
        TrayCase{"ClickAfterTheApplicationIsGone",
                 1,
                 0,
                 0,
                 false,
                 901,
                 kLeftClick,
                 {{0x1420, 1}},
                 2,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SupervisorWindowProc, SystemCommand900RequestsTheOppositeOfSwitch40) {
    supervisor.connected = 1;
    EXPECT_EQ(send(WM_SYSCOMMAND, IDM_SWITCH40, 0), 0);
    EXPECT_EQ(postedToApplication(), (Posted{{0x1440, 0}}));
    EXPECT_EQ(supervisor.option40, 1);  // until the application reports
    supervisor.option40 = 0;
    send(WM_SYSCOMMAND, IDM_SWITCH40, 0);
    EXPECT_EQ(postedToApplication(), (Posted{{0x1440, 1}}));

    supervisor.connected = 0;
    send(WM_SYSCOMMAND, IDM_SWITCH40, 0);
    EXPECT_TRUE(postedToApplication().empty());
}

TEST_F(SupervisorWindowProc, CloseAsksARunningApplicationAndDestroysOnceItIsGone) {
    EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(postedToApplication(), (Posted{{0x1200, 0}}));
    EXPECT_TRUE(IsWindow(supervisor.mainWindow));
    EXPECT_NE(supervisor.processHandle, nullptr);

    setApplicationRunning(false);
    HANDLE handle = supervisor.processHandle;
    EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(postedToApplication().empty());
    EXPECT_FALSE(IsWindow(supervisor.mainWindow));
    // The destruction closed the process handle and asked the message loop to end with 0.
    EXPECT_EQ(supervisor.processHandle, nullptr);
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(handle, &code));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, 0u);
    process = {};

    // The clean-up after the loop removes the tray icon and ends the timer.
    ExitCleanup();
    EXPECT_TRUE(shell::readTrayIcons(desktop.path()).empty());
    EXPECT_EQ(supervisor.timerId, 0u);
    EXPECT_FALSE(DestroyIcon(supervisor.iconDisconnected));
}

TEST_F(SupervisorWindowProc, PollTimerClosesOnlyWhenTheApplicationIsGone) {
    send(WM_TIMER, supervisor.timerId, 0);
    EXPECT_EQ(closesPosted(), 0);
    setApplicationRunning(false);
    send(WM_TIMER, supervisor.timerId + 1, 0);
    EXPECT_EQ(closesPosted(), 0);
    send(WM_TIMER, supervisor.timerId, 0);
    EXPECT_EQ(closesPosted(), 1);
}

TEST_F(SupervisorWindowProc, CommandsPassToTheDefaultProcedure) {
    EXPECT_EQ(send(WM_COMMAND, 1, 0), 0);
    EXPECT_EQ(send(WM_CREATE, 0, 0), 0);
    // The system menu's close command reaches WM_CLOSE through the default procedure.
    send(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(postedToApplication(), (Posted{{0x1200, 0}}));
}

}  // namespace
}  // namespace ve::testing
