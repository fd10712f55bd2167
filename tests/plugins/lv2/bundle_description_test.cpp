// The bundle's Turtle files against the LV2 vocabulary: hosts such as lilv load descriptions with
// mistakes silently and then lack a port property or a feature, so they are checked here with
// lv2_validate, which knows the classes and ranges of every LV2 term.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

TEST(BundleDescription, TurtleFilesUseTheLv2VocabularyCorrectly) {
    const std::string bundle = VE_LV2_BUNDLE_DIR;
    const std::string command = "lv2_validate '" + bundle + "/manifest.ttl' '" + bundle +
                                "/stereo_expander.ttl' '" + bundle + "/mono_to_stereo.ttl' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (size_t length = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, length);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("Found 0 errors"), std::string::npos) << output;
}

}  // namespace
