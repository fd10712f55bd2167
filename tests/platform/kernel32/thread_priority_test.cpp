// Thread priority levels on the host's nice values.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "platform/kernel32/winbase.h"
#include "process_harness.h"

namespace ve::testing {
namespace {

// Field 19 of /proc/<pid>/stat: the nice value, read without the layer.
int niceOf(DWORD pid) {
    std::string stat = readText("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19; ++i) fields >> field;
    return std::stoi(field);
}

bool canRaisePriority() {
    pid_t child = ::fork();
    if (child == 0) _exit(::setpriority(PRIO_PROCESS, 0, -2) == 0 ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class ThreadPriority : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::getpriority(PRIO_PROCESS, 0) != 0)
            GTEST_SKIP() << "the levels are checked from nice 0";
        std::string line = "sleep 60";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &info));
    }
    void TearDown() override {
        if (info.hProcess == nullptr) return;
        killAndReap(pid_t(info.dwProcessId));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    PROCESS_INFORMATION info{};
};

TEST_F(ThreadPriority, LevelsAreNiceStepsFromNormal) {
    EXPECT_EQ(GetThreadPriority(info.hThread), THREAD_PRIORITY_NORMAL);
    struct Case {
        int level;
        int nice;
    } lowering[] = {
        {THREAD_PRIORITY_BELOW_NORMAL, 1}, {THREAD_PRIORITY_LOWEST, 2}, {THREAD_PRIORITY_IDLE, 19}};
    for (const Case& c : lowering) {
        ASSERT_TRUE(SetThreadPriority(info.hThread, c.level)) << c.level;
        EXPECT_EQ(niceOf(info.dwProcessId), c.nice);
        EXPECT_EQ(GetThreadPriority(info.hThread), c.level);
    }
    // Raising needs privilege; with it the level is reached, without it nothing changes.
    bool privileged = canRaisePriority();
    EXPECT_EQ(SetThreadPriority(info.hThread, THREAD_PRIORITY_HIGHEST), privileged ? TRUE : FALSE);
    if (privileged) {
        EXPECT_EQ(niceOf(info.dwProcessId), -2);
        EXPECT_EQ(GetThreadPriority(info.hThread), THREAD_PRIORITY_HIGHEST);
        ASSERT_TRUE(SetThreadPriority(info.hThread, THREAD_PRIORITY_TIME_CRITICAL));
        EXPECT_EQ(niceOf(info.dwProcessId), -20);
    } else {
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(niceOf(info.dwProcessId), 19);
    }
}

TEST_F(ThreadPriority, RefusesOtherLevelsAndHandles) {
    EXPECT_FALSE(SetThreadPriority(info.hThread, 3));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SetThreadPriority(info.hProcess, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

}  // namespace
}  // namespace ve::testing
