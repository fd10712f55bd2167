#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/loader/dynamic_library.h"
#include "temporary_directory.h"

namespace {

std::string search(LPCSTR path, LPCSTR name, LPCSTR extension = nullptr) {
    char buffer[512] = "";
    const DWORD length = SearchPathA(path, name, extension, sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return {};
    EXPECT_EQ(length, std::string(buffer).size());
    return buffer;
}

class SearchPath : public testing::Test {
  protected:
    void SetUp() override {
        directory_.write("libalpha.so");
        directory_.write("Beta.DLL");
        directory_.write("gamma.dll");
        directory_.write("libgamma.so");
        std::filesystem::create_directory(directory_.file("libdelta.so"));
    }
    TemporaryDirectory directory_;
};

TEST_F(SearchPath, MapsModuleFileNamesToTheHostsLibraryNames) {
    struct Case {
        const char* name;
        const char* extension;
        const char* found;  // empty: not found
    };
    const Case cases[] = {
        {"alpha.dll", nullptr, "libalpha.so"},
        {"ALPHA.DLL", nullptr, "libalpha.so"},  // module names ignore case
        {"alpha", ".dll", "libalpha.so"},       // extension added to a bare name
        {"alpha", nullptr, ""},                 // but not without being asked
        {"alpha.txt", ".dll", ""},              // nor to a name with an extension
        {"Beta.DLL", nullptr, "Beta.DLL"},      // a file of that very name
        {"gamma.dll", nullptr, "gamma.dll"},    // which comes before the mapped one
        {"delta.dll", nullptr, ""},             // directories are not modules
        {"missing.dll", nullptr, ""},
    };
    for (const Case& c : cases) {
        const std::string expected = *c.found ? directory_.file(c.found) : "";
        EXPECT_EQ(search(directory_.path().c_str(), c.name, c.extension), expected) << c.name;
    }
}

TEST_F(SearchPath, ReportsFileNotFound) {
    SetLastError(ERROR_SUCCESS);
    char buffer[256];
    EXPECT_EQ(SearchPathA(directory_.path().c_str(), "missing.dll", nullptr, sizeof buffer, buffer,
                          nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SearchPath, TakesTheFirstDirectoryOfTheListThatHasTheFile) {
    TemporaryDirectory second;
    second.write("libalpha.so");
    second.write("libonly.so");
    const std::string list = directory_.path() + ":" + second.path();
    EXPECT_EQ(search(list.c_str(), "alpha.dll"), directory_.file("libalpha.so"));
    const std::string reversed = second.path() + ";" + directory_.path();
    EXPECT_EQ(search(reversed.c_str(), "alpha.dll"), second.file("libalpha.so"));
    EXPECT_EQ(search(list.c_str(), "only.dll"), second.file("libonly.so"));
}

TEST_F(SearchPath, AnswersWithTheSizeNeededWhenTheBufferIsTooSmall) {
    const std::string expected = directory_.file("libalpha.so");
    const DWORD needed = static_cast<DWORD>(expected.size() + 1);
    std::string buffer(needed, 'x');
    const std::string untouched = buffer;
    EXPECT_EQ(SearchPathA(directory_.path().c_str(), "alpha.dll", nullptr, needed - 1,
                          buffer.data(), nullptr),
              needed);
    EXPECT_EQ(buffer, untouched);
    EXPECT_EQ(SearchPathA(directory_.path().c_str(), "alpha.dll", nullptr, 0, nullptr, nullptr),
              needed);

    LPSTR filePart = nullptr;
    EXPECT_EQ(SearchPathA(directory_.path().c_str(), "alpha.dll", nullptr, needed, buffer.data(),
                          &filePart),
              needed - 1);
    EXPECT_STREQ(buffer.c_str(), expected.c_str());
    EXPECT_STREQ(filePart, "libalpha.so");
}

class DefaultSearchPath : public testing::Test {
  protected:
    void SetUp() override {
        const char* saved = std::getenv("VE_DLL_PATH");
        hadSaved_ = saved != nullptr;
        if (hadSaved_) saved_ = saved;
    }
    void TearDown() override {
        if (hadSaved_)
            setenv("VE_DLL_PATH", saved_.c_str(), 1);
        else
            unsetenv("VE_DLL_PATH");
    }
    bool hadSaved_ = false;
    std::string saved_;
};

TEST_F(DefaultSearchPath, LooksInTheDirectoriesOfTheEnvironmentVariable) {
    TemporaryDirectory first, second;
    second.write("libextra.so");
    unsetenv("VE_DLL_PATH");
    EXPECT_EQ(search(nullptr, "extra.dll"), "");
    setenv("VE_DLL_PATH", (first.path() + ":" + second.path()).c_str(), 1);
    EXPECT_EQ(search(nullptr, "extra.dll"), second.file("libextra.so"));
}

TEST_F(DefaultSearchPath, LooksInTheProgramsDirectoryBeforeTheEnvironmentVariable) {
    const std::string programDirectory =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    TemporaryDirectory elsewhere;
    elsewhere.write("libentrytest.so");
    setenv("VE_DLL_PATH", elsewhere.path().c_str(), 1);
    EXPECT_EQ(search(nullptr, "entrytest.dll"), programDirectory + "/libentrytest.so");
}

TEST_F(DefaultSearchPath, LooksInTheLoadersOwnDirectory) {
    unsetenv("VE_DLL_PATH");
    const std::string file = LOADER_LIBRARY_FILE;  // lib<name>.so
    const std::string moduleName = file.substr(3, file.size() - 6) + ".dll";
    const std::string found = search(nullptr, moduleName.c_str());
    EXPECT_EQ(std::filesystem::path(found).filename(), file);
}

}  // namespace
