// The supervisor with the KO16 stand-in, as real processes on a desktop of each test's own.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "ko_fixture.h"
#include "platform/user32/message_boxes.h"
#include "platform/user32/window_table.h"
#include "platform/user32/winuser.h"

namespace ve::testing {
namespace {

constexpr UINT kAppMessage = 0xD479;

using KoEndToEnd = KoFixture;

// Whether this machine lets a process raise its priority above normal, found out by a throwaway
// child that tries.
bool canRaisePriority() {
    pid_t child = ::fork();
    if (child == 0) _exit(::setpriority(PRIO_PROCESS, 0, -2) == 0 ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string helloLine(HWND supervisorWindow) {
    return "recv 0x1100 " + std::to_string(reinterpret_cast<uintptr_t>(supervisorWindow));
}

// Waits until the stand-in has confirmed the connection and the supervisor shows it.
void expectConnected(KoFixture& test, unsigned icon = 804) {
    ASSERT_TRUE(test.waitForJournal("sent 0x2100 1"));
    ASSERT_TRUE(test.waitForTrayIcon(icon)) << "icon shown: " << test.trayIconShown();
}

// Every message box of the desktop, as "caption|text|style".
std::vector<std::string> messageBoxes(const TemporaryDesktop& desktop) {
    std::vector<std::string> boxes;
    for (const auto& box : user::readMessageBoxes(desktop.path()))
        boxes.push_back(box.caption + "|" + box.text + "|" + desktop::hex(box.style));
    return boxes;
}

TEST_F(KoEndToEnd, StartsTheApplicationConnectsAndEndsAfterARightClick) {
    pid_t ko = startKo();
    expectConnected(*this);

    HWND supervisorWindow = FindWindowA("KO32", nullptr);
    ASSERT_NE(supervisorWindow, nullptr);
    auto record = user::findWindowRecord(desktop.path(), uint32_t(uintptr_t(supervisorWindow)));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->title, "Ko Supervisor");
    EXPECT_FALSE(record->visible);
    EXPECT_EQ(record->process.pid, ko);

    // The hello carries the supervisor's window; the application's thread runs raised.
    auto lines = journal();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], helloLine(supervisorWindow));
    // Without the privilege to raise it, the thread keeps the level of the nice value it
    // inherited.
    int inherited = std::clamp(-::getpriority(PRIO_PROCESS, 0), -2, 2);
    EXPECT_EQ(lines[3], "priority " + std::to_string(canRaisePriority() ? 2 : inherited));

    auto icons = trayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].owner, uint32_t(uintptr_t(supervisorWindow)));
    EXPECT_EQ(icons[0].id, 901u);
    EXPECT_EQ(icons[0].tip, "Ko");
    EXPECT_EQ(icons[0].callbackMessage, RegisterWindowMessageA("KO32UWM_NOTIFYICON:Controls"));

    std::string listing;
    ASSERT_EQ(tray({"list"}, &listing), 0);
    EXPECT_NE(listing.find("id=901 icon=804 tip=\"Ko\""), std::string::npos) << listing;

    // A right click asks the application to close; the supervisor follows it out.
    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(ko), 0);
    EXPECT_EQ(journalFrom("recv 0x1200 0"),
              (std::vector<std::string>{"recv 0x1200 0", "sent 0x2200 1", "exit 0"}));
    EXPECT_TRUE(trayIcons().empty());
    EXPECT_EQ(FindWindowA("KO32", nullptr), nullptr);
    EXPECT_TRUE(messageBoxes(desktop).empty());
}

TEST_F(KoEndToEnd, ClicksAndTheSystemCommandRequestSwitchesAndTheIconFollowsTheReports) {
    pid_t ko = startKo();
    expectConnected(*this);
    HWND supervisorWindow = FindWindowA("KO32", nullptr);

    // A double click makes two requests: switch 0x20 after its first button-up, switch 0x10
    // after its second.
    ASSERT_EQ(tray({"click", "double"}), 0);
    ASSERT_TRUE(waitForJournal("sent 0x2410 1"));
    ASSERT_TRUE(waitForJournal("sent 0x2420 1"));
    // Now that the mirror of switch 0x20 is 1, a left click asks for 0.
    ASSERT_EQ(tray({"click", "left"}), 0);
    ASSERT_TRUE(waitForJournal("sent 0x2420 0"));

    // The system command 900 asks for switch 0x40, which starts on; the icon follows the report.
    ASSERT_TRUE(PostMessageA(supervisorWindow, WM_SYSCOMMAND, 900, 0));
    ASSERT_TRUE(waitForJournal("sent 0x2440 0"));
    EXPECT_TRUE(waitForTrayIcon(803));
    ASSERT_TRUE(PostMessageA(supervisorWindow, WM_SYSCOMMAND, 900, 0));
    ASSERT_TRUE(waitForJournal("sent 0x2440 1"));
    EXPECT_TRUE(waitForTrayIcon(804));

    EXPECT_EQ(
        journalFrom("recv 0x1420 1"),
        (std::vector<std::string>{
            "recv 0x1420 1", "sent 0x2420 1", "recv 0x1410 1", "sent 0x2410 1", "recv 0x1420 0",
            "sent 0x2420 0", "recv 0x1440 0", "sent 0x2440 0", "recv 0x1440 1", "sent 0x2440 1"}));

    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(ko), 0);
}

TEST_F(KoEndToEnd, ReportsChangeTheIconAndMirrors) {
    // Reports that arrive unasked are mirrored too: switch 0x40 off shows 803, and the next
    // request for it carries the opposite of the new mirror.
    pid_t ko = startKo({.ko16Options = "--send 0x2440:0 --send 0x2410:1"});
    expectConnected(*this, 803);
    HWND supervisorWindow = FindWindowA("KO32", nullptr);
    ASSERT_TRUE(PostMessageA(supervisorWindow, WM_SYSCOMMAND, 900, 0));
    ASSERT_TRUE(waitForJournal("recv 0x1440 1"));
    ASSERT_TRUE(waitForTrayIcon(804));
    ASSERT_EQ(tray({"click", "double"}), 0);
    ASSERT_TRUE(waitForJournal("recv 0x1410 0"));
    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(ko), 0);
}

TEST_F(KoEndToEnd, ClicksBeforeTheConnectionSendNoRequests) {
    // The stand-in answers the hello with a word the supervisor ignores, so it never connects.
    pid_t ko = startKo({.ko16Options = "--answer 0x0100:1"});
    ASSERT_TRUE(waitForJournal("sent 0x0100 1"));
    EXPECT_EQ(trayIconShown(), 805u);

    ASSERT_EQ(tray({"click", "left"}), 0);
    ASSERT_EQ(tray({"click", "double"}), 0);
    ASSERT_TRUE(PostMessageA(FindWindowA("KO32", nullptr), WM_SYSCOMMAND, 900, 0));
    // The right click still asks the application to close; the supervisor handles events in
    // order, so by the time the close request arrives every click before it was handled.
    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(ko), 0);
    EXPECT_EQ(
        journalFrom("sent 0x0100 1"),
        (std::vector<std::string>{"sent 0x0100 1", "recv 0x1200 0", "sent 0x2200 1", "exit 0"}));
}

TEST_F(KoEndToEnd, RefusedConnectionIsAnsweredWithTheCloseRequest) {
    pid_t ko = startKo({.ko16Options = "--refuse"});
    EXPECT_EQ(waitForKoExit(ko), 0);
    EXPECT_EQ(
        journalFrom("sent 0x2100 0"),
        (std::vector<std::string>{"sent 0x2100 0", "recv 0x1200 0", "sent 0x2200 1", "exit 0"}));
    EXPECT_TRUE(trayIcons().empty());
}

TEST_F(KoEndToEnd, Command0x2300ConnectsLike0x2100) {
    pid_t ko = startKo({.ko16Options = "--answer 0x2300:1"});
    ASSERT_TRUE(waitForJournal("sent 0x2300 1"));
    ASSERT_TRUE(waitForTrayIcon(804));
    ASSERT_EQ(tray({"click", "left"}), 0);
    EXPECT_TRUE(waitForJournal("recv 0x1420 1"));
    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(ko), 0);
}

TEST_F(KoEndToEnd, ApplicationExitingOnItsOwnIsFoundByThePollTimer) {
    // With timers at 1/50, the 15 s poll runs every 300 ms, and the stand-in's 150 s exit timer
    // fires after three seconds. Nothing but the poll can tell the supervisor.
    pid_t ko = startKo({.ko16Options = "--exit-after 150000"});
    expectConnected(*this);
    ASSERT_TRUE(waitForJournal("exit on its own"));
    EXPECT_EQ(waitForKoExit(ko, 20s), 0);
    EXPECT_FALSE(journalHas("recv 0x1200 0"));
    EXPECT_TRUE(trayIcons().empty());
}

TEST_F(KoEndToEnd, ApplicationExitingOnItsOwnIsFoundSoonerByATrayEvent) {
    // With the real 15 s poll, a mouse move over the icon finds the application gone long before.
    auto start = std::chrono::steady_clock::now();
    pid_t ko = startKo({.ko16Options = "--exit-after 300", .timerScale = "1"});
    expectConnected(*this);
    ASSERT_TRUE(waitForJournal("exit 0"));
    pid_t ko16 = ko16Processes().at(0);
    ASSERT_TRUE(waitUntil([&] { return !processRunning(ko16); }));
    ASSERT_EQ(tray({"send", "mousemove"}), 0);
    EXPECT_EQ(waitForKoExit(ko, 10s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 14s);
    EXPECT_TRUE(trayIcons().empty());
}

TEST_F(KoEndToEnd, SecondSupervisorHandsOverToTheFirstEvenWithArguments) {
    pid_t first = startKo();
    expectConnected(*this);
    HWND firstWindow = FindWindowA("KO32", nullptr);
    // The stand-in's window was created later, so it lies above the supervisor's.
    auto before = user::liveWindows(desktop.path());
    ASSERT_EQ(before.front().className, "KO16");

    pid_t second = startKo({.arguments = {"--again"}});
    EXPECT_EQ(waitForKoExit(second), 0);
    auto after = user::liveWindows(desktop.path());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front().handle, uint32_t(uintptr_t(firstWindow)));
    EXPECT_TRUE(messageBoxes(desktop).empty());
    EXPECT_EQ(ko16Processes().size(), 1u);
    EXPECT_EQ(trayIcons().size(), 1u);

    ASSERT_EQ(tray({"click", "right"}), 0);
    EXPECT_EQ(waitForKoExit(first), 0);
}

TEST_F(KoEndToEnd, CommandLineArgumentsAreRefusedWithAMessageBox) {
    pid_t ko = startKo({.arguments = {"/c"}});
    EXPECT_EQ(waitForKoExit(ko), 0);
    EXPECT_EQ(messageBoxes(desktop),
              (std::vector<std::string>{"Error|Unexpected command line arguments|0x30"}));
    EXPECT_NE(koErrors().find("[Error] Unexpected command line arguments "
                              "{MB_OK|MB_ICONEXCLAMATION} -> IDOK"),
              std::string::npos)
        << koErrors();
    EXPECT_TRUE(journal().empty());
    EXPECT_TRUE(trayIcons().empty());
    EXPECT_TRUE(user::liveWindows(desktop.path()).empty());
}

TEST_F(KoEndToEnd, RunningApplicationIsBroughtToTheTopWithItsLastActivePopup) {
    startKo16("--popup");
    ASSERT_TRUE(waitUntil([&] { return FindWindowA("KO16 Popup", nullptr) != nullptr; }));
    HWND application = FindWindowA("KO16", nullptr);
    HWND popup = FindWindowA("KO16 Popup", nullptr);
    ASSERT_NE(application, nullptr);

    // A window of the test's own lies above both.
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "ON TOP";
    ASSERT_NE(RegisterClassA(&cls), 0);
    HWND onTop = CreateWindowExA(0, "ON TOP", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(onTop, nullptr);

    pid_t ko = startKo();
    EXPECT_EQ(waitForKoExit(ko), 0);
    auto windows = user::liveWindows(desktop.path());
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(windows[0].handle, uint32_t(uintptr_t(popup)));
    EXPECT_EQ(windows[1].handle, uint32_t(uintptr_t(application)));
    EXPECT_EQ(windows[2].handle, uint32_t(uintptr_t(onTop)));
    EXPECT_TRUE(messageBoxes(desktop).empty());
    EXPECT_EQ(ko16Processes().size(), 1u);
    EXPECT_TRUE(trayIcons().empty());
    DestroyWindow(onTop);
}

struct StartFailure {
    const char* name;
    const char* ko16Options;
    const char* program;  // what stands on PATH as KO16: "stand-in", "missing", "not executable"
    const char* message;
    bool applicationLeftRunning;
};

void PrintTo(const StartFailure& row, std::ostream* out) {
    *out << row.name;
}

class KoStartFailures : public KoFixture, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(KoStartFailures, AreReportedInATaskModalMessageBox) {
    const StartFailure& row = GetParam();
    KoRun run{.ko16Options = row.ko16Options};
    std::string program = row.program;
    if (program == "missing") {
        run.path = desktop.file("empty");
        ::mkdir(run.path->c_str(), 0700);
    } else if (program == "not executable") {
        run.path = desktop.file("plain");
        ::mkdir(run.path->c_str(), 0700);
        std::ofstream(*run.path + "/KO16") << "not a program\n";
    }
    pid_t ko = startKo(run);
    EXPECT_EQ(waitForKoExit(ko, 60s), 0);
    EXPECT_EQ(messageBoxes(desktop),
              (std::vector<std::string>{std::string("Ko Supervisor|") + row.message + "|0x2030"}));
    EXPECT_NE(koErrors().find(std::string("[Ko Supervisor] ") + row.message +
                              " {MB_OK|MB_ICONEXCLAMATION|MB_TASKMODAL} -> IDOK"),
              std::string::npos)
        << koErrors();
    EXPECT_TRUE(trayIcons().empty());
    EXPECT_EQ(FindWindowA("KO32", nullptr), nullptr);

    auto ko16 = ko16Processes();
    if (row.applicationLeftRunning) {
        // The supervisor never ends the application.
        ASSERT_EQ(ko16.size(), 1u);
        EXPECT_TRUE(processRunning(ko16[0]));
    } else if (!ko16.empty()) {
        EXPECT_TRUE(waitUntil([&] { return !processRunning(ko16[0]); }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KoStartFailures,
    ::testing::Values(StartFailure{"NotFound", "", "missing", "Could not start Ko", false},
                      StartFailure{"NotExecutable", "", "not executable", "Could not start Ko",
                                   false},
                      StartFailure{"NoWindow", "--no-window", "stand-in",
                                   "There was a problem starting Ko", true},
                      StartFailure{"EndsBeforeIdle", "--no-such-option", "stand-in",
                                   "There was a problem starting Ko", false},
                      // The supervisor waits the full 20 s for this one.
                      StartFailure{"NeverIdle", "--idle-after 40000", "stand-in",
                                   "There was a problem starting Ko", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ve::testing

namespace ve::testing {
namespace {

TEST(KoProgram, ExportsItsWindowProcedureByName) {
    std::string symbols, errors;
    ASSERT_EQ(runProgram({NM_PROGRAM, "-D", "--defined-only", KO_PROGRAM}, {}, &symbols, &errors),
              0)
        << errors;
    EXPECT_NE(symbols.find(" T WndProc\n"), std::string::npos) << symbols;
    EXPECT_EQ(symbols.find("WinMain"), std::string::npos) << symbols;
}

}  // namespace
}  // namespace ve::testing
