#include "dsp/design/filter_design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "dsp/design/coefficient_tables.h"
#include "dsp/design/decibels.h"
#include "dsp/design/pole_coefficients.h"
#include "tests/dsp/support/recording_backend.h"

namespace ve32 {
namespace {

using testing::RecordingBackend;

constexpr int32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Values quoted to 7 significant digits are the exact ones rounded; the stored float may print one
// unit lower in the last place.
void expectNear7(double expected, double actual) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 1e-6) << "expected " << expected;
}

TEST(DecibelsToGain, KnownValues) {
    EXPECT_EQ(decibelsToGain(0.0f), 1.0f);
    expectNear7(0.7943282, decibelsToGain(-2.0f));
    expectNear7(0.7498942, decibelsToGain(-2.5f));
    expectNear7(2.0, decibelsToGain(6.0206f));
}

TEST(DecibelsToGain, ExtremesStayWellDefined) {
    EXPECT_EQ(decibelsToGain(-1000.0f), 0.0f);
    EXPECT_TRUE(std::isinf(decibelsToGain(1000.0f)));
    EXPECT_TRUE(std::isnan(decibelsToGain(std::nanf(""))));
}

TEST(FindPoleShaping, PassesScaledGainPairsAndDelay) {
    RecordingBackend backend;
    int32_t delay = -1;
    std::unique_ptr<Filter> filter(findPoleShaping(&backend, 44100, 4.0f, &delay));
    ASSERT_NE(filter, nullptr);
    ASSERT_EQ(backend.poleCalls.size(), 1u);
    const auto& call = backend.poleCalls[0];
    EXPECT_EQ(call.sampleRate, 44100);
    expectNear7(-0.0022724629, call.gain);
    ASSERT_EQ(call.pairs.size(), 4u);
    EXPECT_EQ(call.pairs[3].frequency, 5285.6f);
    EXPECT_EQ(call.pairs[3].radius, 0.962f);
    EXPECT_EQ(delay, 5);

    std::unique_ptr<Filter> low(findPoleShaping(&backend, 8000, 4.0f, &delay));
    EXPECT_EQ(delay, 0);
}

TEST(FindPoleShaping, DirectDelayPerRate) {
    const int32_t expected[] = {0, 0, 0, 1, 1, 1, 4, 5, 6};
    RecordingBackend backend;
    for (int i = 0; i < kSupportedRateCount; ++i) {
        int32_t delay = -1;
        std::unique_ptr<Filter> filter(findPoleShaping(&backend, kRates[i], 4.0f, &delay));
        EXPECT_EQ(delay, expected[i]) << kRates[i];
        int32_t sectionDelay = -1;
        std::unique_ptr<Filter> section(
            findPoleZeroShaping(&backend, kRates[i], 4.0f, &sectionDelay));
        EXPECT_EQ(sectionDelay, 0) << kRates[i];
    }
}

TEST(TableLookups, UnsupportedRatesGiveNullAndLeaveOutputAlone) {
    RecordingBackend backend;
    for (int32_t rate : {0, -44100, 22000, 44000, 96000}) {
        int32_t out = 1234;
        EXPECT_EQ(findPoleShaping(&backend, rate, 4.0f, &out), nullptr);
        EXPECT_EQ(findPoleZeroShaping(&backend, rate, 4.0f, &out), nullptr);
        EXPECT_EQ(findFirFilter(&backend, rate, &out), nullptr);
        EXPECT_EQ(out, 1234);
        EXPECT_FALSE(isSupportedSampleRate(rate));
    }
    EXPECT_TRUE(backend.poleCalls.empty() && backend.poleZeroCalls.empty() &&
                backend.firCalls.empty());
}

TEST(FindFirFilter, FortyFiveTapsAndLatency22) {
    RecordingBackend backend;
    for (int32_t rate : kRates) {
        int32_t latency = -1;
        std::unique_ptr<Filter> filter(findFirFilter(&backend, rate, &latency));
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(latency, 22);
        EXPECT_EQ(backend.firCalls.back().coefficients.size(), 45u);
    }
    // Spot values of the printed table, including the 22050 Hz column's odd centre.
    EXPECT_EQ(kFirTable[7].filter.coefficients[22], 0.502631f);
    EXPECT_EQ(kFirTable[4].filter.coefficients[24], -0.000126f);
    EXPECT_EQ(kFirTable[0].filter.coefficients[44], 0.001962f);
    // The 16000 and 32000 Hz columns are identical.
    for (int k = 0; k < 45; ++k) {
        EXPECT_EQ(kFirTable[3].filter.coefficients[k], kFirTable[6].filter.coefficients[k]);
    }
}

struct HighPassCase {
    int32_t rate;
    double gain, a1, a2;
};

TEST(DesignHighPass, ButterworthValues) {
    const HighPassCase cases[] = {{44100, 0.9924726, -1.984888, 0.9850018},
                                  {8000, 0.9592031, -1.916741, 0.9200714}};
    for (const auto& c : cases) {
        RecordingBackend backend;
        std::unique_ptr<Filter> filter(designHighPass(&backend, c.rate, 75));
        ASSERT_EQ(backend.poleZeroCalls.size(), 1u);
        const auto& call = backend.poleZeroCalls[0];
        expectNear7(c.gain, call.gain);
        EXPECT_EQ(call.sectionCount, 1);
        expectNear7(c.a1, call.coefficients[0]);
        expectNear7(c.a2, call.coefficients[1]);
        EXPECT_EQ(call.coefficients[2], -2.0f);
        EXPECT_EQ(call.coefficients[3], 1.0f);
    }
}

TEST(PoleCoefficients, KnownPairs) {
    float c1 = 0, c2 = 0;
    poleCoefficients({1000.0f, 0.928f}, 44100, &c1, &c2);
    expectNear7(-1.837194, c1);
    expectNear7(0.8611839, c2);
    poleCoefficients({1000.0f, 0.663f}, 8000, &c1, &c2);
    expectNear7(-0.9376236, c1);
    expectNear7(0.439569, c2);
}

// Impulse response of 1 / (1 + a1 z^-1 + a2 z^-2) (times an optional numerator) in double; a
// stable section decays to nothing within a few seconds of samples.
double peakOfTail(double a1, double a2, double b1, double b2, int length, int tail) {
    double w1 = 0, w2 = 0, peak = 0;
    for (int n = 0; n < length; ++n) {
        const double x = n == 0 ? 1.0 : 0.0;
        const double w = x - a1 * w1 - a2 * w2;
        const double y = w + b1 * w1 + b2 * w2;
        w2 = w1;
        w1 = w;
        if (n >= length - tail) peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

TEST(FilterStability, EveryShapingAndHighPassSectionDecays) {
    for (int i = 0; i < kSupportedRateCount; ++i) {
        const int32_t rate = kRates[i];
        RecordingBackend backend;
        int32_t delay = 0;
        std::unique_ptr<Filter> poles(findPoleShaping(&backend, rate, 4.0f, &delay));
        for (const PolePair& pair : backend.poleCalls[0].pairs) {
            float c1 = 0, c2 = 0;
            poleCoefficients(pair, rate, &c1, &c2);
            EXPECT_LT(peakOfTail(c1, c2, 0, 0, 48000, 1000), 1e-9) << rate;
        }
        std::unique_ptr<Filter> section(findPoleZeroShaping(&backend, rate, 4.0f, &delay));
        const auto& s = backend.poleZeroCalls[0].coefficients;
        EXPECT_LT(peakOfTail(s[0], s[1], s[2], s[3], 48000, 1000), 1e-9) << rate;
        std::unique_ptr<Filter> highPass(designHighPass(&backend, rate, 75));
        const auto& h = backend.poleZeroCalls[1].coefficients;
        EXPECT_LT(peakOfTail(h[0], h[1], h[2], h[3], 10 * rate, 1000), 1e-9) << rate;
    }
}

}  // namespace
}  // namespace ve32
