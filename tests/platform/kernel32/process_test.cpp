// Starting host programs with CreateProcessA: exit codes, errors, what the child gets.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/kernel32/winbase.h"
#include "process_harness.h"

namespace ve::testing {
namespace {

struct Result {
    BOOL started;
    DWORD error;
    PROCESS_INFORMATION info;
};

Result create(std::string line, DWORD flags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS,
              STARTUPINFOA* custom = nullptr) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    Result result{};
    SetLastError(0);
    result.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                    nullptr, custom != nullptr ? custom : &startup, &result.info);
    result.error = GetLastError();
    return result;
}

DWORD exitCodeOf(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(
        waitUntil([&] { return GetExitCodeProcess(process, &code) && code != STILL_ACTIVE; }));
    return code;
}

TEST(CreateProcess, ReportsTheExitCodeAndStillActiveBefore) {
    Result run = create("sh -c \"exit 7\"");
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(exitCodeOf(run.info.hProcess), 7u);
    EXPECT_EQ(run.info.dwThreadId, run.info.dwProcessId);
    EXPECT_TRUE(CloseHandle(run.info.hThread));
    EXPECT_TRUE(CloseHandle(run.info.hProcess));
    EXPECT_FALSE(CloseHandle(run.info.hProcess));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    Result sleeper = create("sleep 60");
    ASSERT_TRUE(sleeper.started);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(sleeper.info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    ::kill(pid_t(sleeper.info.dwProcessId), SIGKILL);
    EXPECT_EQ(exitCodeOf(sleeper.info.hProcess), 128u + SIGKILL);
    CloseHandle(sleeper.info.hProcess);
    CloseHandle(sleeper.info.hThread);
}

TEST(CreateProcess, GivesTheChildItsArgumentsEnvironmentAndNoOtherFiles) {
    TemporaryDesktop dir;
    // A descriptor this process leaves open to children; the layer must not pass it on.
    int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ::setenv("VE_TEST_MARK", "marked", 1);
    std::string out = dir.file("child.txt");
    Result run = create("sh -c \"echo \\\"$VE_TEST_MARK $VE_INPUT_IDLE_FD $1\\\" > " + out +
                        "; ls /proc/$$/fd >> " + out + "\" sh \"two words\"");
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(exitCodeOf(run.info.hProcess), 0u);
    auto lines = readLines(out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "marked 3 two words");
    std::vector<std::string> descriptors(lines.begin() + 1, lines.end());
    EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), std::to_string(leaked)), 0)
        << "descriptor " << leaked << " reached the child";
    EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), "3"), 1);
    ::close(leaked);
    CloseHandle(run.info.hProcess);
    CloseHandle(run.info.hThread);
}

TEST(CreateProcess, ReportsProgramsThatCannotRun) {
    TemporaryDesktop dir;
    std::ofstream(dir.file("plain")) << "text\n";
    std::ofstream(dir.file("garbage")) << "\x7f"
                                          "ELF but not really";
    ::chmod(dir.file("garbage").c_str(), 0755);
    struct Case {
        std::string line;
        DWORD error;
    } cases[] = {
        {"no-such-program-anywhere.exe", ERROR_FILE_NOT_FOUND},
        {dir.file("missing") + " x", ERROR_FILE_NOT_FOUND},
        {dir.file("plain"), ERROR_ACCESS_DENIED},
        {dir.file("garbage"), ERROR_BAD_EXE_FORMAT},
        {"   ", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        Result run = create(c.line);
        EXPECT_FALSE(run.started) << c.line;
        EXPECT_EQ(run.error, c.error) << c.line;
    }
}

TEST(CreateProcess, RefusesWhatItDoesNotSupport) {
    Result flags = create("true", 0x00000010 /* CREATE_NEW_CONSOLE */);
    EXPECT_FALSE(flags.started);
    EXPECT_EQ(flags.error, DWORD(ERROR_NOT_SUPPORTED));

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    Result handles = create("true", 0, &startup);
    EXPECT_FALSE(handles.started);
    EXPECT_EQ(handles.error, DWORD(ERROR_NOT_SUPPORTED));

    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USEPOSITION;  // nothing to show: ignored
    Result shown = create("true", 0, &startup);
    EXPECT_TRUE(shown.started);
    EXPECT_EQ(exitCodeOf(shown.info.hProcess), 0u);

    startup.cb = 60;
    Result size = create("true", 0, &startup);
    EXPECT_FALSE(size.started);
    EXPECT_EQ(size.error, DWORD(ERROR_INVALID_PARAMETER));

    std::string line = "true";
    PROCESS_INFORMATION info;
    startup.cb = sizeof startup;
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

}  // namespace
}  // namespace ve::testing
