// Streams: output appears block by block while the input is still arriving, frames split across
// reads are put back together, WAV arrives on a pipe, and progress shows only on a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "audio_fixtures.h"
#include "library_reference.h"
#include "tool_process.h"
#include "ve32.h"

namespace ve_test {
namespace {

constexpr int kRate = 44100;
const std::vector<std::string> kRawStereo = {"--raw", "s16", "--rate", "44100", "--channels", "2"};

std::vector<std::string> streamArgs(const char* command, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {command, "-", "-"};
    args.insert(args.end(), kRawStereo.begin(), kRawStereo.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(Streams, EachBlockComesOutAsSoonAsItIsComplete) {
    auto signal = testSignal(3000, 2, kRate);
    std::string bytes = rawBytes(signal);
    ToolProcess ve(streamArgs("expand", {"--block", "512"}));

    // One block in: one block out, while standard input stays open.
    ve.write(bytes.substr(0, 512 * 4));
    std::string first = ve.readOutput(512 * 4, 30);
    ASSERT_EQ(first.size(), 512u * 4) << "ve held back a complete block";
    // A block arriving in pieces comes out once its last piece is in.
    ve.write(bytes.substr(512 * 4, 100 * 4));
    ve.write(bytes.substr(612 * 4, 412 * 4));
    std::string second = ve.readOutput(512 * 4, 30);
    ASSERT_EQ(second.size(), 512u * 4);

    ve.write(bytes.substr(1024 * 4));
    ToolResult run = ve.finish();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(samplesFromRaw16(first + second + run.out),
              libraryExpand(signal, kRate, VE32_BACKEND_AUTO, {}, 512));
}

TEST(Streams, FramesSplitAcrossReadsAreReassembled) {
    auto signal = testSignal(4000, 2, kRate);
    std::string bytes = rawBytes(signal);
    ToolProcess ve(streamArgs("expand", {"--block", "64"}));
    // Pieces of awkward sizes, with pauses so that they reach ve as separate reads.
    const size_t pieces[] = {1, 3, 7, 2, 333, 4096, 5, 1000};
    size_t at = 0;
    for (int round = 0; at < bytes.size(); ++round) {
        size_t size = std::min(pieces[round % 8], bytes.size() - at);
        ve.write(bytes.substr(at, size));
        at += size;
        if (round % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    ToolResult run = ve.finish();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(samplesFromRaw16(run.out), libraryExpand(signal, kRate, VE32_BACKEND_AUTO, {}, 64));
}

TEST(Streams, WavOnAPipeMatchesTheFile) {
    ScratchFolder folder;
    auto signal = testSignal(5000, 1, kRate);
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, signal);
    auto expected = libraryMonoToStereo(signal, kRate, VE32_BACKEND_AUTO);

    ToolResult toFile =
        runTool({"enhance", "-", folder / "out.wav"}, withInput(readFileBytes(folder / "in.wav")));
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(readAudio(folder / "out.wav").samples, expected);

    ToolResult toStream =
        runTool({"enhance", "-", "-"}, withInput(readFileBytes(folder / "in.wav")));
    ASSERT_EQ(toStream.exitCode, 0) << toStream.err;
    EXPECT_EQ(samplesFromRaw16(toStream.out), expected);
}

TEST(Streams, TruncatedWavOnAPipeIsReported) {
    ScratchFolder folder;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(5000, 2, kRate));
    std::string bytes = readFileBytes(folder / "in.wav");
    ToolResult run = runTool({"expand", "-", folder / "out.wav"},
                             withInput(bytes.substr(0, bytes.size() - 4000)));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
    EXPECT_FALSE(fileExists(folder / "out.wav"));
}

// Feeds a stream in two halves with a pause between, so that the run lasts long enough for
// progress to be drawn, and returns what ve wrote to its standard error.
std::string standardErrorOfSlowRun(std::vector<std::string> args, const std::string& bytes,
                                   bool terminal) {
    ToolProcess ve(args, terminal);
    ve.write(bytes.substr(0, bytes.size() / 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ve.write(bytes.substr(bytes.size() / 2));
    ToolResult run = ve.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.err;
}

TEST(Progress, ShownOnATerminalOnly) {
    std::string raw = rawBytes(testSignal(kRate, 2, kRate));
    std::string onTerminal = standardErrorOfSlowRun(streamArgs("expand"), raw, true);
    EXPECT_NE(onTerminal.find("s processed"), std::string::npos) << onTerminal;
    EXPECT_NE(onTerminal.find("x real time"), std::string::npos) << onTerminal;

    EXPECT_EQ(standardErrorOfSlowRun(streamArgs("expand"), raw, false), "");
    EXPECT_EQ(standardErrorOfSlowRun(streamArgs("expand", {"--quiet"}), raw, true), "");
}

TEST(Progress, KnownLengthShowsAPercentage) {
    ScratchFolder folder;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(kRate, 2, kRate));
    std::string err = standardErrorOfSlowRun({"expand", "-", folder / "out.wav"},
                                             readFileBytes(folder / "in.wav"), true);
    EXPECT_NE(err.find("100.0% of 1.0 s"), std::string::npos) << err;
}

}  // namespace
}  // namespace ve_test
