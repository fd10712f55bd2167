// Whole sessions from the 16-bit side over the real ve32, each checked sample for sample against
// the same calls made on ve32 directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bridge_paths.h"
#include "side16.h"
#include "ve32.h"

namespace {

using side16::Memory16;
using side16::SearchPathOverride;
using side16::Side16;

// Test material: a sine sweep with noise, loud enough to reach saturation now and then.
std::vector<int16_t> signal16(size_t samples, unsigned seed) {
    std::vector<int16_t> values(samples);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < samples; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(static_cast<int32_t>(state)) / 2147483648.0;
        const double tone = std::sin(0.001 * static_cast<double>(i) * (1.0 + 0.0005 * i));
        values[i] = static_cast<int16_t>(
            std::clamp(std::lround(30000.0 * tone + 6000.0 * noise), -32768L, 32767L));
    }
    return values;
}

std::vector<uint8_t> signal8(size_t samples, unsigned seed) {
    std::vector<uint8_t> values(samples);
    const std::vector<int16_t> wide = signal16(samples, seed);
    for (size_t i = 0; i < samples; ++i) values[i] = static_cast<uint8_t>((wide[i] >> 8) + 128);
    return values;
}

// The first sample where two outputs differ, or -1.
template <typename Sample>
long firstDifference(const std::vector<Sample>& a, const Sample* b, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return -1;
}

struct Configuration {
    int sampleRate;
    unsigned int flags;
};
const Configuration configurations[] = {
    {44100, VE32_BACKEND_FPU},
    {44100, VE32_BACKEND_MMX},
    {22050, VE32_BACKEND_FPU | VE32_FLAG_SECTION_SHAPING},
    {8000, VE32_BACKEND_MMX | VE32_FLAG_SECTION_SHAPING},
    {48000, VE32_BACKEND_AUTO},
};

class Session : public testing::TestWithParam<Configuration> {
  protected:
    void SetUp() override { ASSERT_NE(side_.load(), nullptr); }

    // One process call of `frames` frames on both sides; the outputs must match.
    template <typename Sample>
    void processBoth(side16::Entry entry,
                     void (*direct)(void*, const Sample*, Sample*, unsigned int), DWORD handle16,
                     void* handle, size_t frames, size_t inChannels, unsigned seed) {
        const size_t inSamples = frames * inChannels;
        std::vector<Sample> input;
        if constexpr (sizeof(Sample) == 2)
            input = signal16(inSamples, seed);
        else
            input = signal8(inSamples, seed);
        Memory16<Sample> in(inSamples + 1), out(2 * frames + 1);
        std::copy(input.begin(), input.end(), in.values().begin());
        std::vector<Sample> expected(2 * frames + 1);

        EXPECT_EQ(side_.process(entry, handle16, in.far(), out.far(), static_cast<WORD>(frames)),
                  0u);
        direct(handle, input.data(), expected.data(), static_cast<unsigned int>(frames));
        EXPECT_EQ(firstDifference(expected, out.values().data(), 2 * frames), -1)
            << "entry " << entry << ", " << frames << " frames, seed " << seed;
        const Sample silence = sizeof(Sample) == 2 ? 0 : 0x80;
        if (frames > 16) {
            EXPECT_NE(std::count(expected.begin(), expected.end() - 1, silence),
                      static_cast<long>(2 * frames))
                << "the comparison needs a signal";
        }
    }

    SearchPathOverride search_{{paths::bridgeDirectory, paths::ve32Directory}};
    Side16 side_;
};

TEST_P(Session, StereoExpanderThroughTheBridgeMatchesVe32) {
    const Configuration c = GetParam();
    void* direct = nullptr;
    ASSERT_EQ(::veOpen(&direct, c.sampleRate, c.flags), VE32_OK);
    Memory16<DWORD> handleVariable(1);
    ASSERT_EQ(side_.open(side16::veOpen, handleVariable.far(), c.sampleRate, c.flags), 0u);
    const DWORD handle = handleVariable[0];
    ASSERT_NE(handle, 0u);

    const size_t blocks[] = {1000, 0, 1, 4096, 333, 1024};
    unsigned seed = 1;
    for (size_t block = 0; block < std::size(blocks); ++block) {
        processBoth<int16_t>(side16::veProcess16, ::veProcess16, handle, direct, blocks[block], 2,
                             seed++);
        processBoth<uint8_t>(side16::veProcess8, ::veProcess8, handle, direct, blocks[block], 2,
                             seed++);
        switch (block) {
            case 0:
                side_.gain(side16::veSetSpread, handle, 6.0f);
                side_.gain(side16::veSetCenter, handle, -4.5f);
                ::veSetSpread(direct, 6.0f);
                ::veSetCenter(direct, -4.5f);
                break;
            case 2:
                side_.enable(side16::veEnable, handle, 0);
                ::veEnable(direct, 0);
                break;
            case 3:
                side_.enable(side16::veEnable, handle, -1);  // any non-zero value enables
                ::veEnable(direct, -1);
                break;
            case 4:
                side_.handleOnly(side16::veReset, handle);
                ::veReset(direct);
                break;
        }
    }
    side_.handleOnly(side16::veClose, handle);
    ::veClose(direct);
}

TEST_P(Session, MonoToStereoThroughTheBridgeMatchesVe32) {
    const Configuration c = GetParam();
    void* direct = nullptr;
    ASSERT_EQ(::m2sOpen(&direct, c.sampleRate, c.flags), VE32_OK);
    Memory16<DWORD> handleVariable(1);
    ASSERT_EQ(side_.open(side16::m2sOpen, handleVariable.far(), c.sampleRate, c.flags), 0u);
    const DWORD handle = handleVariable[0];
    ASSERT_NE(handle, 0u);

    const size_t blocks[] = {700, 0, 1, 5000, 64};
    unsigned seed = 100;
    for (size_t block = 0; block < std::size(blocks); ++block) {
        processBoth<int16_t>(side16::m2sProcess16, ::m2sProcess16, handle, direct, blocks[block], 1,
                             seed++);
        processBoth<uint8_t>(side16::m2sProcess8, ::m2sProcess8, handle, direct, blocks[block], 1,
                             seed++);
        if (block == 1) {
            side_.enable(side16::m2sEnable, handle, 0);
            ::m2sEnable(direct, 0);
        } else if (block == 2) {
            side_.enable(side16::m2sEnable, handle, 1);
            ::m2sEnable(direct, 1);
        } else if (block == 3) {
            side_.handleOnly(side16::m2sReset, handle);
            ::m2sReset(direct);
        }
    }
    side_.handleOnly(side16::m2sClose, handle);
    ::m2sClose(direct);
}

INSTANTIATE_TEST_SUITE_P(Configurations, Session, testing::ValuesIn(configurations),
                         [](const auto& info) {
                             return std::to_string(info.param.sampleRate) + "Hz_flags" +
                                    std::to_string(info.param.flags & 7) +
                                    (info.param.flags & VE32_FLAG_SECTION_SHAPING ? "_sections"
                                                                                  : "");
                         });

TEST(SessionLimits, TheLargestCallA16BitCallerCanMakeMatchesVe32) {
    SearchPathOverride search({paths::bridgeDirectory, paths::ve32Directory});
    Side16 side;
    ASSERT_NE(side.load(), nullptr);
    constexpr WORD frames = 65535;
    for (bool stereoExpander : {true, false}) {
        void* direct = nullptr;
        Memory16<DWORD> handleVariable(1);
        if (stereoExpander) {
            ASSERT_EQ(::veOpen(&direct, 44100, VE32_BACKEND_FPU), VE32_OK);
            ASSERT_EQ(side.open(side16::veOpen, handleVariable.far(), 44100, VE32_BACKEND_FPU), 0u);
        } else {
            ASSERT_EQ(::m2sOpen(&direct, 44100, VE32_BACKEND_MMX), VE32_OK);
            ASSERT_EQ(side.open(side16::m2sOpen, handleVariable.far(), 44100, VE32_BACKEND_MMX),
                      0u);
        }
        const size_t inSamples = (stereoExpander ? 2u : 1u) * frames;
        const std::vector<int16_t> input = signal16(inSamples, 7);
        Memory16<int16_t> in(inSamples), out(2u * frames);
        std::copy(input.begin(), input.end(), in.values().begin());
        std::vector<int16_t> expected(2u * frames);
        EXPECT_EQ(side.process(stereoExpander ? side16::veProcess16 : side16::m2sProcess16,
                               handleVariable[0], in.far(), out.far(), frames),
                  0u);
        (stereoExpander ? ::veProcess16 : ::m2sProcess16)(direct, input.data(), expected.data(),
                                                          frames);
        EXPECT_EQ(firstDifference(expected, out.values().data(), expected.size()), -1);
        side.handleOnly(stereoExpander ? side16::veClose : side16::m2sClose, handleVariable[0]);
        (stereoExpander ? ::veClose : ::m2sClose)(direct);
    }
}

}  // namespace
