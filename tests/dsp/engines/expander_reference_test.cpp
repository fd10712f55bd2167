// The expander checked against a direct double-precision evaluation of its signal-flow equation:
//
//   y_L[t] = direct_L x_L[t - dL - Dd] + SH_L( own_L x_L[t - dL] + HP_L( cross_R x_R[t - dR] ) )
//
// and its mirror image, with the gains computed here from the decibel settings.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/design/coefficient_tables.h"
#include "dsp/design/filter_design.h"
#include "dsp/design/pole_coefficients.h"
#include "tests/dsp/engines/engine_handles.h"
#include "tests/dsp/support/signals.h"

namespace ve32 {
namespace {

// A cascade of biquads (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) with an overall gain.
class DoubleCascade {
  public:
    struct Section {
        double a1, a2, b1, b2;
    };
    DoubleCascade(double gain, std::vector<Section> sections)
        : gain_(gain), sections_(std::move(sections)), state_(2 * sections_.size(), 0.0) {}

    double step(double x) {
        double v = gain_ * x;
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const Section& s = sections_[i];
            double& w1 = state_[2 * i];
            double& w2 = state_[2 * i + 1];
            const double w = v - s.a1 * w1 - s.a2 * w2;
            v = w + s.b1 * w1 + s.b2 * w2;
            w2 = w1;
            w1 = w;
        }
        return v;
    }

  private:
    double gain_;
    std::vector<Section> sections_;
    std::vector<double> state_;
};

DoubleCascade highPass(int rate) {
    float section[4];
    const PoleZeroParams p = highPassParams(rate, 75, section);
    return DoubleCascade(p.gain, {{section[0], section[1], section[2], section[3]}});
}

DoubleCascade shaping(int rate, bool sections, int* directDelay) {
    for (int i = 0; i < kSupportedRateCount; ++i) {
        if (sections && kPoleZeroTable[i].sampleRate == rate) {
            const auto& e = kPoleZeroTable[i];
            *directDelay = e.directDelay;
            const float* c = e.coefficients;
            return DoubleCascade(double(e.gain) * 4.0, {{c[0], c[1], c[2], c[3]}});
        }
        if (!sections && kPoleTable[i].sampleRate == rate) {
            const auto& e = kPoleTable[i];
            *directDelay = e.directDelay;
            std::vector<DoubleCascade::Section> list;
            for (int k = 0; k < e.pairCount; ++k) {
                float c1, c2;
                poleCoefficients(e.pairs[k], rate, &c1, &c2);
                list.push_back({c1, c2, 0.0, 0.0});
            }
            return DoubleCascade(double(e.gain) * 4.0, list);
        }
    }
    ADD_FAILURE() << "no table entry for " << rate;
    return DoubleCascade(0, {});
}

struct Settings {
    double spreadDb, centerDb, scaleDb[2];
    int delay[2];
};

std::vector<int16_t> referenceExpander(const std::vector<int16_t>& in, int rate, bool sections,
                                       const Settings& s) {
    const std::size_t frames = in.size() / 2;
    auto lin = [](double db) { return std::pow(10.0, db / 20.0); };
    const double spread = lin(s.spreadDb), center = lin(s.centerDb);
    int directDelay = 0;
    DoubleCascade hp[2] = {highPass(rate), highPass(rate)};
    DoubleCascade sh[2] = {shaping(rate, sections, &directDelay),
                           shaping(rate, sections, &directDelay)};
    auto x = [&](int ch, long t) { return t < 0 ? 0.0 : double(in[2 * t + ch]); };
    std::vector<int16_t> out(in.size());
    for (std::size_t t = 0; t < frames; ++t) {
        for (int ch = 0; ch < 2; ++ch) {
            const int other = 1 - ch;
            const double g = lin(s.scaleDb[ch]), gOther = lin(s.scaleDb[other]);
            const double cross = gOther * spread * 0.25;
            const double own = g * spread * center * -0.25;
            const long tc = long(t);
            const double diff =
                own * x(ch, tc - s.delay[ch]) + hp[ch].step(cross * x(other, tc - s.delay[other]));
            const double y = g * x(ch, tc - s.delay[ch] - directDelay) + sh[ch].step(diff);
            out[2 * t + ch] = int16_t(std::clamp(std::nearbyint(y), -32768.0, 32767.0));
        }
    }
    return out;
}

TEST(ExpanderReference, FloatBackendFollowsTheSignalFlowEquation) {
    const Settings settings[] = {
        {0.0, 0.0, {0.0, 0.0}, {0, 0}},
        {4.5, -3.0, {-1.0, 2.0}, {7, 0}},
        {-6.0, 6.0, {0.0, -4.0}, {0, 33}},
    };
    const auto input = testing::noise16(2 * 5000, 6000, 21);
    for (int rate : testing::kAllRates) {
        for (bool sections : {false, true}) {
            for (const Settings& s : settings) {
                testing::Expander e(rate,
                                    VE32_BACKEND_FPU | (sections ? VE32_FLAG_SECTION_SHAPING : 0u));
                veSetSpread(e.handle, float(s.spreadDb));
                veSetCenter(e.handle, float(s.centerDb));
                veSetInputScale(e.handle, float(s.scaleDb[0]), float(s.scaleDb[1]));
                veSetInputDelay(e.handle, s.delay[0], s.delay[1]);
                const auto expected = referenceExpander(input, rate, sections, s);
                // Single-precision storage between stages moves a result across a rounding
                // boundary now and then, never further.
                EXPECT_LE(testing::maxAbsDifference(e.run16(input), expected), 1)
                    << rate << (sections ? " sections" : " poles") << " spread " << s.spreadDb;
            }
        }
    }
}

}  // namespace
}  // namespace ve32
