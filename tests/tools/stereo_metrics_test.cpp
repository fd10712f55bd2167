// The demo's width meter on signals whose width is known in closed form.
#include "stereo_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ve_cli {
namespace {

std::vector<int16_t> stereo(size_t frames, double leftGain, double rightGain, double rightHz) {
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<int16_t>(
            std::lround(leftGain * 16000 * std::sin(2 * std::numbers::pi * 441.0 * i / 44100.0)));
        samples[2 * i + 1] = static_cast<int16_t>(std::lround(
            rightGain * 16000 * std::sin(2 * std::numbers::pi * rightHz * i / 44100.0)));
    }
    return samples;
}

TEST(StereoMeter, KnownImages) {
    struct Case {
        const char* name;
        double leftGain, rightGain, rightHz;
        double sideToMidDb, correlation;
    };
    // Same tone in both: mono image. Opposite sign: all side. Unrelated tones of equal level:
    // side and mid equal, correlation zero. Right at half level: (1-0.5)^2/(1+0.5)^2 = 1/9.
    const Case cases[] = {
        {"Identical", 1, 1, 441, -INFINITY, 1.0},
        {"OppositePhase", 1, -1, 441, INFINITY, -1.0},
        {"UnrelatedTones", 1, 1, 882, 0.0, 0.0},
        {"RightAtHalfLevel", 1, 0.5, 441, 10 * std::log10(1.0 / 9.0), 1.0},
    };
    for (const auto& c : cases) {
        auto samples = stereo(44100, c.leftGain, c.rightGain, c.rightHz);
        StereoMeter meter(2);
        meter.add(samples.data(), 10000);  // in two blocks, as the demo reads files
        meter.add(samples.data() + 20000, 34100);
        StereoMeasurement m = meter.result();
        if (std::isinf(c.sideToMidDb))
            EXPECT_EQ(m.sideToMidDb, c.sideToMidDb) << c.name;
        else
            EXPECT_NEAR(m.sideToMidDb, c.sideToMidDb, 0.05) << c.name;
        EXPECT_NEAR(m.correlation, c.correlation, 0.002) << c.name;
        EXPECT_EQ(m.frames, 44100);
    }
}

TEST(StereoMeter, LevelsOfAFullScaleSineAndOfMono) {
    const double fullScale = 32767.0 / 16000.0;
    auto samples = stereo(44100, fullScale, fullScale, 441);
    StereoMeter meter(2);
    meter.add(samples.data(), 44100);
    StereoMeasurement m = meter.result();
    EXPECT_NEAR(m.peakDbfs, 0.0, 0.01);
    EXPECT_NEAR(m.rmsDbfs, -3.01, 0.02);  // a sine's RMS is 1/sqrt(2) of its peak

    std::vector<int16_t> mono(1000, 1000);
    StereoMeter monoMeter(1);
    monoMeter.add(mono.data(), mono.size());
    EXPECT_EQ(monoMeter.result().channels, 1);
    EXPECT_EQ(monoMeter.result().correlation, 1.0);
    EXPECT_EQ(monoMeter.result().sideToMidDb, -INFINITY);
}

}  // namespace
}  // namespace ve_cli
