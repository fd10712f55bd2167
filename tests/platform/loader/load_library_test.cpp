#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/loader/dynamic_library.h"
#include "temporary_directory.h"

namespace {

std::vector<std::pair<HINSTANCE, DWORD>> entryCalls;
BOOL attachAnswer = TRUE;

}  // namespace

// Called by the test module's entry point.
extern "C" __attribute__((visibility("default"))) void loaderTestNoteEntry(HINSTANCE instance,
                                                                           DWORD reason) {
    entryCalls.emplace_back(instance, reason);
}
extern "C" __attribute__((visibility("default"))) BOOL loaderTestAttachAnswer() {
    return attachAnswer;
}

namespace {

bool isMapped(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
}

class LoadLibrary : public testing::Test {
  protected:
    void SetUp() override {
        entryCalls.clear();
        attachAnswer = TRUE;
    }
};

TEST_F(LoadLibrary, AttachesOnTheFirstLoadAndDetachesOnTheLastFree) {
    const HMODULE module = LoadLibraryA("entrytest.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(entryCalls, (std::vector<std::pair<HINSTANCE, DWORD>>{{module, DLL_PROCESS_ATTACH}}));

    EXPECT_EQ(LoadLibraryA("ENTRYTEST"), module);  // same module, ".dll" implied, any case
    EXPECT_EQ(LoadLibraryA(ENTRY_MODULE_PATH), module);
    EXPECT_EQ(entryCalls.size(), 1u);

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(entryCalls.size(), 1u);
    EXPECT_TRUE(isMapped(ENTRY_MODULE_PATH));

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(entryCalls.back(), std::make_pair(module, static_cast<DWORD>(DLL_PROCESS_DETACH)));
    EXPECT_EQ(entryCalls.size(), 2u);
    EXPECT_FALSE(isMapped(ENTRY_MODULE_PATH));

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(LoadLibrary, FailsWhenTheEntryPointRefusesTheAttachAndDetachesAgain) {
    attachAnswer = FALSE;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadLibraryA("entrytest.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    ASSERT_EQ(entryCalls.size(), 2u);
    EXPECT_EQ(entryCalls[0].second, static_cast<DWORD>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(entryCalls[1].second, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_FALSE(isMapped(ENTRY_MODULE_PATH));

    attachAnswer = TRUE;  // a later load starts afresh
    const HMODULE module = LoadLibraryA("entrytest.dll");
    ASSERT_NE(module, nullptr);
    FreeLibrary(module);
}

TEST_F(LoadLibrary, FindsOnlyTheModulesOwnExports) {
    const HMODULE module = LoadLibraryA("entrytest.dll");
    ASSERT_NE(module, nullptr);
    const auto function = reinterpret_cast<int (*)()>(GetProcAddress(module, "moduleFunction"));
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function(), 42);
    const auto* data = reinterpret_cast<const int*>(GetProcAddress(module, "moduleData"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, 1234);

    for (const char* foreign : {"dependencyFunction", "malloc", "noSuchName"}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetProcAddress(module, foreign), nullptr) << foreign;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << foreign;
    }
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(uintptr_t{1})), nullptr);
    FreeLibrary(module);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetProcAddress(module, "moduleFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(LoadLibrary, ReportsWhyAModuleCannotBeLoaded) {
    TemporaryDirectory directory;
    directory.write("libbroken.so", "not a shared object\n");
    struct Case {
        std::string name;
        DWORD error;
    };
    const Case cases[] = {
        {"nosuchmodule.dll", ERROR_MOD_NOT_FOUND},
        {directory.file("libabsent.so"), ERROR_MOD_NOT_FOUND},
        {directory.file("libbroken.so"), ERROR_BAD_EXE_FORMAT},
        {"", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadLibraryA(c.name.c_str()), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_TRUE(entryCalls.empty());
}

}  // namespace
