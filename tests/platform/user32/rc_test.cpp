// The resource compiler: scripts it accepts and the errors it reports.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "process_harness.h"

namespace ve::testing {
namespace {

class ResourceCompiler : public ::testing::Test {
  protected:
    void SetUp() override {
        // A valid 1 x 1 icon: directory, header, two-colour palette, one row, one mask row.
        std::vector<unsigned char> icon = {0, 0,  1, 0, 1, 0,  1, 1, 2, 0,  1, 0, 1,
                                           0, 56, 0, 0, 0, 22, 0, 0, 0, 40, 0, 0, 0,
                                           1, 0,  0, 0, 2, 0,  0, 0, 1, 0,  1, 0};
        icon.resize(22 + 40, 0);
        icon.insert(icon.end(), {0, 0, 0, 0, 255, 255, 255, 0, 0x80, 0, 0, 0, 0, 0, 0, 0});
        std::ofstream(dir.file("good.ico"), std::ios::binary)
            .write(reinterpret_cast<const char*>(icon.data()), std::streamsize(icon.size()));
        std::ofstream(dir.file("bad.ico")) << "not an icon";
    }

    int compile(const std::string& script, std::string* errors) {
        std::ofstream(dir.file("test.rc")) << script;
        return runProgram({RC_PROGRAM, dir.file("test.rc"), dir.file("out.cpp")}, {}, nullptr,
                          errors);
    }

    TemporaryDesktop dir;
};

TEST_F(ResourceCompiler, CompilesIconsIntoARegisteredTable) {
    std::string errors;
    ASSERT_EQ(
        compile("// icons\n803 ICON \"good.ico\"  // first\n\n804 ICON \"good.ico\"\n", &errors), 0)
        << errors;
    std::string source = readText(dir.file("out.cpp"));
    EXPECT_NE(
        source.find("{ve::resources::ResourceType::Icon, 803, resource803, sizeof resource803}"),
        std::string::npos);
    EXPECT_NE(source.find("resource804"), std::string::npos);
    EXPECT_NE(source.find("ResourceTable table(resources"), std::string::npos);
}

TEST_F(ResourceCompiler, ReportsTheLineAndWritesNothing) {
    struct Case {
        const char* script;
        const char* message;
    } cases[] = {
        {"803 ICON \"missing.ico\"\n", ":1: cannot find the icon file missing.ico"},
        {"\n803 ICON \"bad.ico\"\n", ":2: "},
        {"803 BITMAP \"good.ico\"\n", ":1: expected <number> ICON \"<file>\""},
        {"0 ICON \"good.ico\"\n", ":1: resource number 0 is not between 1 and 65535"},
        {"803 ICON good.ico\n", ":1: the icon file name must be in double quotes"},
        {"803 ICON \"good.ico\"\n803 ICON \"good.ico\"\n", ":2: icon 803 appears twice"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.file("out.cpp"));
        std::string errors;
        EXPECT_EQ(compile(c.script, &errors), 1) << c.script;
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.cpp"))) << c.script;
    }
}

}  // namespace
}  // namespace ve::testing
