// The desktop: its directory, process liveness and the escaping of its text files.

#include "platform/user32/desktop.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "process_harness.h"

namespace ve::testing {
namespace {

TEST(Desktop, DirectoryComesFromTheEnvironmentOrAPerUserDefault) {
    TemporaryDesktop desktop;
    ::setenv("VE_DESKTOP", (desktop.path() + "/nested/deeper/").c_str(), 1);
    EXPECT_EQ(desktop::directory(), desktop.path() + "/nested/deeper");
    EXPECT_TRUE(std::filesystem::is_directory(desktop.path() + "/nested/deeper"));

    // Directories that cannot be used are refused with a reason.
    { std::ofstream(desktop.file("plain")) << "not a directory"; }
    std::filesystem::create_directory(desktop.file("shared"));
    std::filesystem::permissions(desktop.file("shared"), std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    struct Case {
        const char* name;
        const char* reason;
    } refused[] = {{"plain", "cannot be created as a directory"},
                   {"shared", "can be written by other users"}};
    for (const Case& c : refused) {
        ::setenv("VE_DESKTOP", desktop.file(c.name).c_str(), 1);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(desktop::directory(), "");
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(c.reason), std::string::npos)
            << c.name;
    }

    ::unsetenv("VE_DESKTOP");
    ::setenv("XDG_RUNTIME_DIR", desktop.path().c_str(), 1);
    EXPECT_EQ(desktop::directory(), desktop.path() + "/ve-desktop");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(desktop::directory(), "/tmp/ve-desktop-" + std::to_string(::getuid()));
}

TEST(Desktop, ProcessesThatEndedAreNotAliveEvenBeforeTheyAreCollected) {
    EXPECT_TRUE(desktop::isAlive(desktop::currentProcess()));
    pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        _exit(0);
    }
    desktop::ProcessIdentity identity{child, 0};
    std::string stat = readText("/proc/" + std::to_string(child) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    identity.startTime = std::stoull(field);
    EXPECT_TRUE(desktop::isAlive(identity));
    EXPECT_FALSE(desktop::isAlive({child, identity.startTime + 1}));  // a later process, same id
    ::kill(child, SIGKILL);
    ASSERT_TRUE(waitUntil([&] { return !processRunning(child); }));
    EXPECT_FALSE(desktop::isAlive(identity));  // a zombie
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(desktop::isAlive(identity));
}

TEST(Desktop, EscapingKeepsFieldsAndRecordsApart) {
    for (std::string text :
         {std::string(""), std::string("plain"), std::string("tab\there"),
          std::string("new\nline\r"), std::string("back\\slash\\"), std::string("\\t literally")}) {
        std::string escaped = desktop::escape(text);
        EXPECT_EQ(escaped.find_first_of("\t\n\r"), std::string::npos) << text;
        EXPECT_EQ(desktop::unescape(escaped), text);
    }
    EXPECT_EQ(desktop::splitFields("a\t\tb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(desktop::parseNumber("0x1F", 16), 31u);
    EXPECT_EQ(desktop::parseNumber("1F", 10), std::nullopt);
    EXPECT_EQ(desktop::parseNumber("", 10), std::nullopt);
}

}  // namespace
}  // namespace ve::testing
