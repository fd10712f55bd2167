// The bridge's entry point: connection, search, load and release of ve32, and load failure.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "bridge_paths.h"
#include "side16.h"
#include "standin_access.h"

namespace {

using side16::isMapped;
using side16::SearchPathOverride;
using side16::Side16;

class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ve-bridge-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

TEST(BridgeLoading, LoadsVe32FromTheSearchPathAndReleasesItAtDetach) {
    SearchPathOverride search({paths::bridgeDirectory, paths::fullStandinDirectory});
    Side16 side;
    for (int load = 0; load < 2; ++load) {  // a load after an unload starts from scratch
        ASSERT_NE(side.load(), nullptr) << "load " << load;
        EXPECT_TRUE(isMapped(paths::ve32In(paths::fullStandinDirectory)));
        {
            StandinAccess standin;
            ASSERT_TRUE(standin.ready());
            const auto setSpread = reinterpret_cast<void (*)(void*, float)>(
                GetProcAddress(side.bridge(), "veSetSpread"));
            ASSERT_NE(setSpread, nullptr);
            setSpread(standin.veEngine(), 1.5f);
            EXPECT_TRUE(standin.lastCallWas("veSetSpread"));
        }
        side.unload();
        EXPECT_FALSE(isMapped(paths::ve32In(paths::fullStandinDirectory)));
        EXPECT_FALSE(isMapped(paths::bridgeFile));
    }
}

TEST(BridgeLoading, FailsWhenTheConnectionIsRefused) {
    SearchPathOverride search({paths::bridgeDirectory, paths::fullStandinDirectory});
    struct Case {
        const char* name;
        bool registered;
        DWORD checksum;
        const char* expected32;
    };
    const Case cases[] = {
        {"no 16-bit half", false, side16::sharedChecksum, "VE32THK.DLL"},
        {"other checksum", true, side16::sharedChecksum + 1, "VE32THK.DLL"},
        {"16-bit half expects another module", true, side16::sharedChecksum, "OTHER32.DLL"},
    };
    for (const Case& c : cases) {
        std::optional<Side16> side;
        if (c.registered) side.emplace(c.checksum, c.expected32);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadLibraryA("VE32THK.DLL"), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED)) << c.name;
        EXPECT_FALSE(isMapped(paths::ve32In(paths::fullStandinDirectory))) << c.name;
        EXPECT_FALSE(isMapped(paths::bridgeFile)) << c.name;
    }
}

TEST(BridgeLoading, FailsWhenVe32IsMissingOrNotLoadable) {
    TemporaryDirectory empty, broken, deep;
    std::ofstream(broken.path() + "/libve32.so") << "not a shared object\n";
    // A real ve32 whose path does not fit the 256 characters the bridge searches with.
    const std::string longDirectory =
        deep.path() + "/" + std::string(200, 'd') + "/" + std::string(60, 'e');
    std::filesystem::create_directories(longDirectory);
    std::filesystem::create_symlink(paths::ve32In(paths::fullStandinDirectory),
                                    longDirectory + "/libve32.so");
    for (const std::string& directory : {empty.path(), broken.path(), longDirectory}) {
        SearchPathOverride search({paths::bridgeDirectory, directory});
        Side16 side;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(side.load(), nullptr) << directory;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED)) << directory;
        EXPECT_FALSE(isMapped(paths::bridgeFile)) << directory;
        EXPECT_FALSE(isMapped(paths::ve32In(paths::fullStandinDirectory))) << directory;
    }
}

TEST(BridgeLoading, LoadsAVe32ThatLacksSomeNames) {
    SearchPathOverride search({paths::bridgeDirectory, paths::partialStandinDirectory});
    Side16 side;
    EXPECT_NE(side.load(), nullptr);
    EXPECT_TRUE(isMapped(paths::ve32In(paths::partialStandinDirectory)));
}

TEST(BridgeLoading, EntryPointAnswersEveryReasonAndAttachesOnlyOnce) {
    SearchPathOverride search({paths::bridgeDirectory, paths::fullStandinDirectory});
    Side16 side;
    ASSERT_NE(side.load(), nullptr);
    using EntryPoint = BOOL (*)(HINSTANCE, DWORD, LPVOID);
    const auto entryPoint = reinterpret_cast<EntryPoint>(GetProcAddress(side.bridge(), "DllMain"));
    ASSERT_NE(entryPoint, nullptr);
    EXPECT_TRUE(entryPoint(side.bridge(), DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(entryPoint(side.bridge(), DLL_THREAD_DETACH, nullptr));
    EXPECT_TRUE(entryPoint(side.bridge(), DLL_PROCESS_ATTACH, nullptr));
    // Had the second attach loaded ve32 again, the detach would leave one reference behind.
    side.unload();
    EXPECT_FALSE(isMapped(paths::ve32In(paths::fullStandinDirectory)));
}

TEST(BridgeLoading, ExportsItsConnectionRecordButNoUnforwardedFunction) {
    SearchPathOverride search({paths::bridgeDirectory, paths::fullStandinDirectory});
    Side16 side;
    ASSERT_NE(side.load(), nullptr);
    const auto* record =
        reinterpret_cast<const BYTE*>(GetProcAddress(side.bridge(), "ve_ThunkData32"));
    ASSERT_NE(record, nullptr);
    const BYTE expected[32] = {'S', 'L', '0', '1', 0x2F, 0x1A, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0,
                               'L', 'B', '0', '1', 0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(record, expected, sizeof expected), 0);
    for (const char* name : {"veSetInputScale", "veSetInputDelay", "m2sSetSpread", "m2sSetCenter"})
        EXPECT_EQ(GetProcAddress(side.bridge(), name), nullptr) << name;
}

}  // namespace
