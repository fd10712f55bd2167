// Rates the engines are not tuned for: refused without --resample; with it, converted to the
// nearest supported rate and back, the output at the input's rate and of the input's length.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "audio_fixtures.h"
#include "supported_rates.h"
#include "tool_process.h"

namespace ve_test {
namespace {

std::vector<int16_t> slowTones(size_t frames, int channels, int rate) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(std::lround(
                    12000.0 * std::sin(2 * std::numbers::pi * (700.0 + 300.0 * c) * i / rate)));
    return samples;
}

TEST(Resampling, RoundTripKeepsTimingLevelAndLength) {
    // With the spread at -200 dB the expander passes its input through, delayed by its direct
    // path: 6 samples at 48000 Hz, which is 12 samples at 96000 Hz. The round trip through the
    // converters must keep that timing and the level to within a few steps.
    ScratchFolder folder;
    constexpr int kRate = 96000;
    constexpr size_t kFrames = 30000;
    auto input = slowTones(kFrames, 2, kRate);
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, input);

    ToolResult run = runTool(
        {"expand", folder / "in.wav", folder / "out.wav", "--resample", "--spread", "-200"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("resampling 96000 Hz to 48000 Hz"), std::string::npos) << run.err;

    AudioFile out = readAudio(folder / "out.wav");
    EXPECT_EQ(out.sampleRate, kRate);
    EXPECT_EQ(out.channels, 2);
    ASSERT_EQ(out.frames, static_cast<int64_t>(kFrames));
    int worst = 0;
    for (size_t i = 500; i + 500 < kFrames; ++i)
        for (size_t c = 0; c < 2; ++c)
            worst = std::max(worst, std::abs(out.samples[(i + 12) * 2 + c] - input[i * 2 + c]));
    EXPECT_LE(worst, 8);
}

TEST(Resampling, MonoAtAnOddRateBecomesStereoAtThatRate) {
    ScratchFolder folder;
    constexpr int kRate = 11000;
    constexpr size_t kFrames = 5001;
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1,
               slowTones(kFrames, 1, kRate));
    ToolResult run = runTool({"enhance", folder / "in.wav", folder / "out.wav", "--resample"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("to 11025 Hz"), std::string::npos) << run.err;
    AudioFile out = readAudio(folder / "out.wav");
    EXPECT_EQ(out.sampleRate, kRate);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.frames, static_cast<int64_t>(kFrames));

    // The right channel is the input at -2 dB (delayed): its level must survive the round trip.
    double inputPower = 0, rightPower = 0;
    auto input = slowTones(kFrames, 1, kRate);
    for (size_t i = 1000; i < kFrames - 1000; ++i) {
        inputPower += double(input[i]) * input[i];
        rightPower += double(out.samples[2 * i + 1]) * out.samples[2 * i + 1];
    }
    EXPECT_NEAR(10 * std::log10(rightPower / inputPower), -2.0, 0.2);
}

TEST(Resampling, StreamsKeepTheirLength) {
    constexpr int kRate = 88200;
    constexpr size_t kFrames = 12345;
    ToolResult run = runTool({"expand", "-", "-", "--resample", "--raw", "s16", "--rate",
                              std::to_string(kRate), "--channels", "2", "--quiet"},
                             withInput(rawBytes(slowTones(kFrames, 2, kRate))));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.size(), kFrames * 4);
}

TEST(Resampling, NearestSupportedRate) {
    struct Case {
        int rate;
        int nearest;
    };
    // Hand-checked: distances to the neighbouring supported rates, ties to the higher one.
    const Case cases[] = {{1, 8000},      {8000, 8000},   {9512, 8000},   {9513, 11025},
                          {11512, 11025}, {11513, 12000}, {14000, 16000}, {19025, 22050},
                          {23025, 24000}, {38049, 32000}, {38050, 44100}, {46050, 48000},
                          {96000, 48000}, {192000, 48000}};
    for (const auto& c : cases)
        EXPECT_EQ(ve_cli::nearestSupportedRate(c.rate), c.nearest) << c.rate;
}

}  // namespace
}  // namespace ve_test
