// Waiting for a started program to become idle for input.

#include <gtest/gtest.h>

#include "platform/kernel32/winbase.h"
#include "platform/user32/winuser.h"
#include "process_harness.h"

namespace ve::testing {
namespace {

struct Started {
    HANDLE process = nullptr;
    DWORD pid = 0;
};

Started start(const std::string& arguments) {
    std::string line = std::string(PEER_PROGRAM) + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info))
        << GetLastError();
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

void finish(Started& started) {
    killAndReap(pid_t(started.pid));
    CloseHandle(started.process);
}

TEST(WaitForInputIdle, ReturnsOnceTheProgramWaitsForInput) {
    Started peer = start("idle-after 0");
    EXPECT_EQ(WaitForInputIdle(peer.process, 30000), 0u);
    // Only the first idleness counts: later waits return at once.
    EXPECT_EQ(WaitForInputIdle(peer.process, 0), 0u);
    finish(peer);
}

TEST(WaitForInputIdle, TimesOutWhileTheProgramIsBusy) {
    Started peer = start("idle-after 2000");
    EXPECT_EQ(WaitForInputIdle(peer.process, 100), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForInputIdle(peer.process, 30000), 0u);
    finish(peer);
}

TEST(WaitForInputIdle, FailsForAProgramThatEndsWithoutWaiting) {
    Started peer = start("exit");
    EXPECT_EQ(WaitForInputIdle(peer.process, 30000), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_GUI_PROCESS));
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(
        waitUntil([&] { return GetExitCodeProcess(peer.process, &code) && code != STILL_ACTIVE; }));
    EXPECT_EQ(code, 3u);
    CloseHandle(peer.process);
}

TEST(WaitForInputIdle, FailsForHandlesThatAreNoProcess) {
    EXPECT_EQ(WaitForInputIdle(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    Started peer = start("idle-after 0");
    CloseHandle(peer.process);
    EXPECT_EQ(WaitForInputIdle(peer.process, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    killAndReap(pid_t(peer.pid));
}

}  // namespace
}  // namespace ve::testing
