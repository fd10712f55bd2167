// Win32 command lines and finding host programs for Win32 program names.

#include "platform/kernel32/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "process_harness.h"

namespace ve::testing {
namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsByTheRuntimesRules) {
    struct Case {
        const char* line;
        Arguments expected;
    } cases[] = {
        {"KO16.EXE /c", {"KO16.EXE", "/c"}},
        {"  prog   a\tb  ", {"prog", "a", "b"}},
        {"", {}},
        {"\"C:\\Program Files\\x.exe\" y", {"C:\\Program Files\\x.exe", "y"}},
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p a\\\\b", {"p", "a\\\\b"}},        // backslashes without a quote are literal
        {"p a\\\"b", {"p", "a\"b"}},          // \" is a literal quote
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},  // \\" is a backslash and a quote that acts
        {"p \"a\"\"b\"", {"p", "a\"b"}},      // "" inside quotes is a literal quote
        {"p \"\"", {"p", ""}},                // an empty argument
        {"p x\"y z\"w", {"p", "xy zw"}},
    };
    for (const Case& c : cases) EXPECT_EQ(kernel::splitCommandLine(c.line), c.expected) << c.line;
}

TEST(CommandLine, QuotingRoundTrips) {
    Arguments arguments{"plain",
                        "",
                        "two words",
                        "tab\there",
                        "quote\"d",
                        "trailing\\",
                        "back\\\\slashes\\\"",
                        "\"",
                        "\\\\server\\share dir\\"};
    std::string line = "prog " + kernel::joinArguments(arguments);
    Arguments expected{"prog"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(kernel::splitCommandLine(line), expected) << line;
    EXPECT_EQ(kernel::joinArguments({"/c"}), "/c");
    EXPECT_EQ(kernel::joinArguments({}), "");
}

class ProgramSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("first"));
        std::filesystem::create_directories(dir.file("second"));
        std::filesystem::create_directories(dir.file("second/KO16"));  // a folder is no program
    }
    std::string make(const std::string& name) {
        std::string path = dir.file(name);
        std::ofstream(path) << "#!/bin/sh\n";
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::vector<std::string> both() { return {dir.file("first"), dir.file("second")}; }
    TemporaryDesktop dir;
};

TEST_F(ProgramSearch, FindsTheHostProgramUnderItsStemWhateverTheCase) {
    std::string ko16 = make("second/ko16");
    EXPECT_EQ(kernel::findProgram("KO16.EXE", both()), ko16);
    EXPECT_EQ(kernel::findProgram("KO16", both()), ko16);
    EXPECT_EQ(kernel::findProgram("Ko16.Exe", both()), ko16);
    EXPECT_EQ(kernel::findProgram("KO16.COM", both()), "");
    EXPECT_EQ(kernel::findProgram("", both()), "");
}

TEST_F(ProgramSearch, FollowsTheDirectoryOrderAndPrefersExactNames) {
    std::string later = make("second/tool");
    std::string earlier = make("first/TOOL");
    EXPECT_EQ(kernel::findProgram("tool", both()), earlier);
    std::string exe = make("second/tool.exe");
    // Without an extension, name + ".exe" comes first within a directory, but directories first.
    EXPECT_EQ(kernel::findProgram("tool", {dir.file("second")}), exe);
    EXPECT_EQ(kernel::findProgram(dir.file("second") + "/TOOL", both()), exe);
    (void)later;
}

TEST_F(ProgramSearch, SearchesTheProgramDirectoryTheCurrentDirectoryThenPath) {
    std::string path = std::getenv("PATH");
    ::setenv("PATH", (dir.file("first") + "::" + dir.file("second")).c_str(), 1);
    auto dirs = kernel::programSearchDirectories();
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(dirs.size(), 5u);
    EXPECT_EQ(dirs[0], std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/");
    EXPECT_EQ(dirs[1], ".");
    EXPECT_EQ(dirs[2], dir.file("first"));
    EXPECT_EQ(dirs[3], ".");  // an empty entry means the current directory
    EXPECT_EQ(dirs[4], dir.file("second"));
}

}  // namespace
}  // namespace ve::testing
