// The shared library's export list is part of its interface: exactly the eighteen C functions,
// undecorated, and nothing else.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) output += line;
    pclose(pipe);
    return output;
}

TEST(ExportedSymbols, ExactlyTheEighteenFunctions) {
    const std::string listing =
        run("nm -D --defined-only '" VE32_LIBRARY_PATH "' | awk '{print $2 \" \" $3}'");
    std::set<std::string> exported;
    std::size_t start = 0;
    while (start < listing.size()) {
        const std::size_t end = listing.find('\n', start);
        const std::string line = listing.substr(start, end - start);
        if (!line.empty()) exported.insert(line);
        start = end == std::string::npos ? listing.size() : end + 1;
    }
    const std::set<std::string> expected = {
        "T m2sClose",        "T m2sEnable",  "T m2sOpen",      "T m2sProcess16",
        "T m2sProcess8",     "T m2sReset",   "T m2sSetCenter", "T m2sSetSpread",
        "T veClose",         "T veEnable",   "T veOpen",       "T veProcess16",
        "T veProcess8",      "T veReset",    "T veSetCenter",  "T veSetInputDelay",
        "T veSetInputScale", "T veSetSpread"};
    EXPECT_EQ(exported, expected);
}

TEST(ExportedSymbols, VersionedSoname) {
    const std::string dynamic = run("objdump -p '" VE32_LIBRARY_PATH "' | grep SONAME");
    EXPECT_NE(dynamic.find("libve32.so.1"), std::string::npos) << dynamic;
}

}  // namespace
