// Failures in the middle of a run: a full disk, a file-size limit, a write error on standard
// output, and interruption by a signal. None may leave a partial output behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "audio_fixtures.h"
#include "tool_process.h"

namespace ve_test {
namespace {

constexpr int kRate = 44100;

bool hasTemporaryFile(const ScratchFolder& folder) {
    for (const auto& name : folder.entries())
        if (name.rfind(".out.wav.ve-", 0) == 0) return true;
    return false;
}

void expectOneLineFailure(const ToolResult& run, const std::string& part) {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
}

TEST(WriteFailures, FileSizeLimitMidway) {
    // RLIMIT_FSIZE stands in for a full disk on any machine: writes past the limit fail with
    // EFBIG (ve ignores SIGXFSZ so that it can report and clean up).
    ScratchFolder folder;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(5 * kRate, 2, kRate));
    ToolResult run =
        runTool({"expand", folder / "in.wav", folder / "out.wav"}, limitedTo(64 * 1024));
    expectOneLineFailure(run, "cannot write output");
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_FALSE(fileExists(folder / "out.wav"));
    EXPECT_FALSE(hasTemporaryFile(folder));
}

TEST(WriteFailures, FullDisk) {
    // A real full disk: a 64 KiB tmpfs mounted in a private mount namespace of this test process
    // (ctest runs every test in a process of its own), which the ve it starts shares.
    ScratchFolder folder;
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot make a private mount namespace here; FileSizeLimitMidway covers "
                        "the write failure";
    std::filesystem::create_directory(folder / "disk");
    ASSERT_EQ(mount("tmpfs", (folder / "disk").c_str(), "tmpfs", 0, "size=64k"), 0);
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(5 * kRate, 2, kRate));

    ToolResult run = runTool({"expand", folder / "in.wav", folder / "disk/out.wav"});
    auto left = std::distance(std::filesystem::directory_iterator(folder / "disk"),
                              std::filesystem::directory_iterator());
    umount((folder / "disk").c_str());

    expectOneLineFailure(run, "cannot write output");
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(left, 0) << "the full disk must be left empty";
}

TEST(WriteFailures, StandardOutputFull) {
    ScratchFolder folder;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(kRate, 2, kRate));
    ToolResult run = runTool({"expand", folder / "in.wav", "-"}, standardOutputTo("/dev/full"));
    expectOneLineFailure(run, "cannot write standard output: No space left on device");
}

TEST(WriteFailures, DeviceOutputsAreWrittenInPlace) {
    // /dev/null is not a regular file: it must be written directly, never replaced by a rename.
    ScratchFolder folder;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(kRate, 2, kRate));
    ToolResult run = runTool({"expand", folder / "in.wav", "/dev/null"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

class Interruption : public ::testing::TestWithParam<int> {};

TEST_P(Interruption, LeavesNoPartialOutput) {
    const int signalNumber = GetParam();
    ScratchFolder folder;
    writeFileBytes(folder / "out.wav", "previous take");
    ToolProcess ve(
        {"expand", "-", folder / "out.wav", "--raw", "s16", "--rate", "44100", "--channels", "2"});
    ve.write(rawBytes(testSignal(kRate, 2, kRate)));

    // Wait until ve is writing its temporary file, so the signal lands mid-run.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!hasTemporaryFile(folder) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(hasTemporaryFile(folder));

    kill(ve.pid(), signalNumber);
    ToolResult run = ve.finish();
    EXPECT_EQ(run.termSignal, signalNumber) << "the signal must still end ve, as a shell expects";
    EXPECT_FALSE(hasTemporaryFile(folder));
    EXPECT_EQ(readFileBytes(folder / "out.wav"), "previous take");
}

INSTANTIATE_TEST_SUITE_P(Signals, Interruption, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) {
                             return std::string(info.param == SIGINT    ? "Interrupt"
                                                : info.param == SIGTERM ? "Terminate"
                                                                        : "HangUp");
                         });

}  // namespace
}  // namespace ve_test
