// Every kernel variant against the scalar reference on the same random inputs: lengths from 0 to
// 2100 (and the edges around 16 and 1024), misaligned pointers, gains, steps and coefficients over
// their whole range with -32768 and 32767 mixed in. Integer results must agree to the bit.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/components/mmx/kernels.h"

namespace ve32 {
namespace {

class Random {
  public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    int32_t uniform(int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(engine_);
    }
    int64_t uniform64(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(engine_);
    }
    // A sample: mostly uniform, often an extreme, sometimes small.
    int16_t sample() {
        switch (uniform(0, 9)) {
            case 0:
                return -32768;
            case 1:
                return 32767;
            case 2:
                return static_cast<int16_t>(uniform(-20, 20));
            default:
                return static_cast<int16_t>(uniform(-32768, 32767));
        }
    }
    std::vector<int16_t> samples(std::size_t n) {
        std::vector<int16_t> v(n);
        for (auto& x : v) x = sample();
        return v;
    }
    std::vector<uint8_t> bytes(std::size_t n) {
        std::vector<uint8_t> v(n);
        for (auto& x : v) {
            const int kind = uniform(0, 9);
            x = static_cast<uint8_t>(kind == 0 ? 0 : kind == 1 ? 255 : uniform(0, 255));
        }
        return v;
    }
    int32_t length() {
        static const int32_t edges[] = {0, 1, 15, 16, 17, 31, 32, 33, 1023, 1024, 1025, 2100};
        return uniform(0, 3) == 0 ? edges[uniform(0, 11)] : uniform(0, 2100);
    }
    int32_t offset() { return uniform(0, 15); }

  private:
    std::mt19937 engine_;
};

// Packed-register state left behind would show as a non-empty x87 tag word.
bool x87StackIsEmpty() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned char environment[28];
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "+m"(environment));
    const unsigned tags = environment[8] | (environment[9] << 8);
    return tags == 0xFFFF;
#else
    return true;
#endif
}

class MmxKernelVariant : public ::testing::TestWithParam<MmxKernelSet> {
  protected:
    void SetUp() override {
        variant_ = mmxKernelsFor(GetParam());
        if (variant_ == nullptr) GTEST_SKIP() << "this processor or build has no such variant";
        reference_ = mmxKernelsFor(MmxKernelSet::Scalar);
    }
    void TearDown() override { EXPECT_TRUE(x87StackIsEmpty()); }

    const MmxKernels* variant_ = nullptr;
    const MmxKernels* reference_ = nullptr;
    Random random_{20240611u};
};

constexpr int kCases = 150;

// A pointer into a copy of `data` starting `offset` elements in.
template <class T>
struct Shifted {
    Shifted(const std::vector<T>& data, int32_t offset) : storage(offset, T{}) {
        storage.insert(storage.end(), data.begin(), data.end());
        this->offset = offset;
    }
    T* get() { return storage.data() + offset; }
    std::vector<T> contents() const { return {storage.begin() + offset, storage.end()}; }
    std::vector<T> storage;
    int32_t offset;
};

TEST_P(MmxKernelVariant, RampPasses) {
    for (int c = 0; c < kCases; ++c) {
        const int32_t n = random_.length();
        const auto src16 = random_.samples(static_cast<std::size_t>(n));
        const auto src8 = random_.bytes(static_cast<std::size_t>(n));
        const auto dst = random_.samples(static_cast<std::size_t>(n));
        const int16_t gain = random_.sample();
        const int16_t step =
            static_cast<int16_t>(random_.uniform(0, 2) == 0   ? 0
                                 : random_.uniform(0, 1) == 0 ? random_.uniform(-2047, 2047)
                                                              : random_.sample());
        const int32_t o1 = random_.offset(), o2 = random_.offset();
        using Pass16 = void (*)(const int16_t*, int16_t, int16_t, int16_t*, int32_t);
        using Pass8 = void (*)(const uint8_t*, int16_t, int16_t, int16_t*, int32_t);
        const Pass16 passes16[][2] = {{reference_->storeRamp16, variant_->storeRamp16},
                                      {reference_->mixRamp16, variant_->mixRamp16}};
        const Pass8 passes8[][2] = {{reference_->storeRamp8, variant_->storeRamp8},
                                    {reference_->mixRamp8, variant_->mixRamp8}};
        for (const auto& pass : passes16) {
            Shifted<int16_t> in(src16, o1), expected(dst, o2), actual(dst, o2);
            pass[0](in.get(), gain, step, expected.get(), n);
            pass[1](in.get(), gain, step, actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents())
                << "n " << n << " gain " << gain << " step " << step;
        }
        for (const auto& pass : passes8) {
            Shifted<uint8_t> in(src8, o1);
            Shifted<int16_t> expected(dst, o2), actual(dst, o2);
            pass[0](in.get(), gain, step, expected.get(), n);
            pass[1](in.get(), gain, step, actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents())
                << "n " << n << " gain " << gain << " step " << step;
        }
    }
}

TEST_P(MmxKernelVariant, WidePasses) {
    const int64_t limit = int64_t{1} << 31;
    for (int c = 0; c < kCases; ++c) {
        const int32_t n = random_.length();
        const auto src16 = random_.samples(static_cast<std::size_t>(n));
        const auto src8 = random_.bytes(static_cast<std::size_t>(n));
        const auto dst = random_.samples(static_cast<std::size_t>(n));
        int64_t gain = 0, step = 0;
        switch (random_.uniform(0, 3)) {
            case 0:
                gain = random_.uniform64(-300000, 300000);
                break;  // up to about 9x
            case 1:
                gain = random_.uniform64(-limit, limit);
                break;
            case 2:
                gain = random_.uniform64(-100000, 100000);
                step = random_.uniform64(-50, 50);
                break;
            default:
                gain = random_.uniform64(-limit, limit);
                step = random_.uniform64(-limit, limit);
                break;
        }
        const int32_t o1 = random_.offset(), o2 = random_.offset();
        using Pass16 = void (*)(const int16_t*, int64_t, int64_t, int16_t*, int32_t);
        using Pass8 = void (*)(const uint8_t*, int64_t, int64_t, int16_t*, int32_t);
        const Pass16 passes16[][2] = {{reference_->storeWide16, variant_->storeWide16},
                                      {reference_->mixWide16, variant_->mixWide16}};
        const Pass8 passes8[][2] = {{reference_->storeWide8, variant_->storeWide8},
                                    {reference_->mixWide8, variant_->mixWide8}};
        for (const auto& pass : passes16) {
            Shifted<int16_t> in(src16, o1), expected(dst, o2), actual(dst, o2);
            pass[0](in.get(), gain, step, expected.get(), n);
            pass[1](in.get(), gain, step, actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents())
                << "gain " << gain << " step " << step;
        }
        for (const auto& pass : passes8) {
            Shifted<uint8_t> in(src8, o1);
            Shifted<int16_t> expected(dst, o2), actual(dst, o2);
            pass[0](in.get(), gain, step, expected.get(), n);
            pass[1](in.get(), gain, step, actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents())
                << "gain " << gain << " step " << step;
        }
    }
}

TEST_P(MmxKernelVariant, ScaleAddAndOutputConversions) {
    for (int c = 0; c < kCases; ++c) {
        const int32_t n = random_.length();
        const auto a = random_.samples(static_cast<std::size_t>(n));
        const auto b = random_.samples(static_cast<std::size_t>(n));
        const int16_t gain = random_.sample();
        const int32_t o1 = random_.offset(), o2 = random_.offset();
        {
            Shifted<int16_t> expected(a, o1), actual(a, o1);
            reference_->scale16(expected.get(), gain, n);
            variant_->scale16(actual.get(), gain, n);
            ASSERT_EQ(expected.contents(), actual.contents());
        }
        {
            Shifted<int16_t> src(b, o2), expected(a, o1), actual(a, o1);
            reference_->addSaturate16(src.get(), expected.get(), n);
            variant_->addSaturate16(src.get(), actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents());
        }
        Shifted<int16_t> left(a, o1), right(b, o2);
        const std::vector<int16_t> words(2 * static_cast<std::size_t>(n), 0);
        const std::vector<uint8_t> bytes(2 * static_cast<std::size_t>(n), 0);
        {
            Shifted<int16_t> expected(words, o2), actual(words, o2);
            reference_->interleave16(left.get(), right.get(), expected.get(), n);
            variant_->interleave16(left.get(), right.get(), actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents());
        }
        {
            Shifted<uint8_t> expected(bytes, o1), actual(bytes, o1);
            reference_->interleave8(left.get(), right.get(), expected.get(), n);
            variant_->interleave8(left.get(), right.get(), actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents());
        }
        {
            Shifted<uint8_t> expected(bytes, o2), actual(bytes, o2);
            reference_->toBytes8(left.get(), expected.get(), n);
            variant_->toBytes8(left.get(), actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents());
        }
    }
}

TEST_P(MmxKernelVariant, MagnitudeSumAndLoudSearch) {
    for (int c = 0; c < kCases; ++c) {
        const int32_t n = random_.length();
        std::vector<int16_t> quietish(static_cast<std::size_t>(n));
        for (auto& x : quietish) x = static_cast<int16_t>(random_.uniform(-12, 12));
        if (n > 0 && random_.uniform(0, 1) == 0) {
            quietish[static_cast<std::size_t>(random_.uniform(0, n - 1))] = random_.sample();
        }
        auto loud = random_.samples(static_cast<std::size_t>(n));
        const int32_t o = random_.offset();
        for (const std::vector<int16_t>* data : {&quietish, &loud}) {
            Shifted<int16_t> p(*data, o);
            ASSERT_EQ(reference_->sumMagnitudes16(p.get(), n),
                      variant_->sumMagnitudes16(p.get(), n));
            for (int16_t threshold : {int16_t{10}, int16_t{0}, int16_t{1}, int16_t{-32768},
                                      int16_t{32767}, random_.sample()}) {
                ASSERT_EQ(reference_->findLoud16(p.get(), threshold, n),
                          variant_->findLoud16(p.get(), threshold, n))
                    << "threshold " << threshold;
            }
        }
    }
}

// Coefficient copies laid out as the FIR filter keeps them.
struct FirCase {
    explicit FirCase(Random& random) {
        taps = random.uniform(0, 3) == 0 ? 45 : random.uniform(1, 70);
        std::vector<int16_t> q(static_cast<std::size_t>(taps));
        for (auto& x : q)
            x = random.uniform(0, 1) == 0 ? random.sample()
                                          : static_cast<int16_t>(random.uniform(-18000, 18000));
        layout.tapCount = taps;
        for (int r = 0; r < 4; ++r) {
            const int32_t length = (taps + r + 15) & ~15;
            copies[r].assign(static_cast<std::size_t>(length), 0);
            std::copy(q.begin(), q.end(), copies[r].begin() + r);
            layout.phaseCoefficients[r] = copies[r].data();
            layout.phaseLengths[r] = length;
        }
        history = random.samples(2 * static_cast<std::size_t>(taps));
        for (int k = 0; k < taps; ++k)
            history[static_cast<std::size_t>(k + taps)] = history[static_cast<std::size_t>(k)];
        history.insert(history.end(), 14, 0);
        position = random.uniform(0, taps - 1);
    }
    int32_t taps;
    std::vector<int16_t> copies[4];
    FirLayout layout{};
    std::vector<int16_t> history;
    int32_t position;
};

TEST_P(MmxKernelVariant, FirBlocks) {
    for (int c = 0; c < kCases; ++c) {
        FirCase fir(random_);
        auto expectedHistory = fir.history;
        auto actualHistory = fir.history;
        int32_t expectedPosition = fir.position, actualPosition = fir.position;
        // Several blocks in a row, so positions wrap inside and between blocks.
        for (int block = 0; block < 3; ++block) {
            const int32_t n = random_.uniform(0, 3) == 0 ? random_.uniform(0, 9) : random_.length();
            const auto input = random_.samples(static_cast<std::size_t>(n));
            const int32_t o = random_.offset();
            Shifted<int16_t> expected(input, o), actual(input, o);
            expectedPosition = reference_->firBlock(fir.layout, expectedHistory.data(),
                                                    expectedPosition, expected.get(), n);
            actualPosition = variant_->firBlock(fir.layout, actualHistory.data(), actualPosition,
                                                actual.get(), n);
            ASSERT_EQ(expected.contents(), actual.contents()) << "taps " << fir.taps << " n " << n;
            ASSERT_EQ(expectedPosition, actualPosition);
            ASSERT_EQ(expectedHistory, actualHistory);
        }
    }
}

TEST_P(MmxKernelVariant, PoleZeroPairs) {
    for (int c = 0; c < kCases; ++c) {
        int32_t pair[12];
        const bool wide = random_.uniform(0, 2) == 0;
        for (auto& p : pair) p = wide ? random_.uniform(-65535, 65535) : random_.sample();
        std::vector<int16_t> state = random_.samples(4);
        auto expectedState = state, actualState = state;
        for (int block = 0; block < 2; ++block) {
            const int32_t pairs = random_.length() / 2;
            const auto input = random_.samples(2 * static_cast<std::size_t>(pairs));
            const int32_t o = random_.offset();
            Shifted<int16_t> expected(input, o), actual(input, o);
            reference_->poleZeroPairs(pair, expectedState.data(), expected.get(), pairs);
            variant_->poleZeroPairs(pair, actualState.data(), actual.get(), pairs);
            ASSERT_EQ(expected.contents(), actual.contents()) << "pairs " << pairs;
            ASSERT_EQ(expectedState, actualState);
        }
    }
}

TEST_P(MmxKernelVariant, PoleZeroPairsInExtendedPrecision) {
    for (int c = 0; c < kCases; ++c) {
        ExtendedPairCoefficients pair{};
        for (auto& v : pair.input)
            v = static_cast<int32_t>(random_.uniform64(-2147450880, 2147450880));
        pair.input[1] = 0;
        for (auto& v : pair.back) v = random_.uniform64(-(int64_t{3} << 28), int64_t{3} << 28);
        const auto inputs = random_.samples(2);
        int64_t outputs[2] = {random_.uniform64(-(int64_t{32768} << 12), int64_t{32767} << 12),
                              random_.uniform64(-(int64_t{32768} << 12), int64_t{32767} << 12)};
        auto expectedInputs = inputs, actualInputs = inputs;
        int64_t expectedOutputs[2] = {outputs[0], outputs[1]};
        int64_t actualOutputs[2] = {outputs[0], outputs[1]};
        for (int block = 0; block < 2; ++block) {
            const int32_t pairs = random_.length() / 2;
            const auto input = random_.samples(2 * static_cast<std::size_t>(pairs));
            const int32_t o = random_.offset();
            Shifted<int16_t> expected(input, o), actual(input, o);
            reference_->poleZeroPairsExtended(pair, expectedInputs.data(), expectedOutputs,
                                              expected.get(), pairs);
            variant_->poleZeroPairsExtended(pair, actualInputs.data(), actualOutputs, actual.get(),
                                            pairs);
            ASSERT_EQ(expected.contents(), actual.contents()) << "pairs " << pairs;
            ASSERT_EQ(expectedInputs, actualInputs);
            ASSERT_EQ(expectedOutputs[0], actualOutputs[0]);
            ASSERT_EQ(expectedOutputs[1], actualOutputs[1]);
        }
    }
}

TEST_P(MmxKernelVariant, PoleCascadePairs) {
    for (int c = 0; c < kCases; ++c) {
        const int32_t sections = random_.uniform(1, 9);
        std::vector<int16_t> pair(8 * static_cast<std::size_t>(sections));
        for (auto& p : pair)
            p = random_.uniform(0, 1) == 0 ? random_.sample()
                                           : static_cast<int16_t>(random_.uniform(-20000, 20000));
        auto state = random_.samples(2 * static_cast<std::size_t>(sections));
        auto expectedState = state, actualState = state;
        for (int block = 0; block < 2; ++block) {
            const int32_t pairs =
                random_.uniform(0, 3) == 0 ? random_.uniform(0, 6) : random_.length() / 2;
            const auto input = random_.samples(2 * static_cast<std::size_t>(pairs));
            const int32_t o = random_.offset();
            Shifted<int16_t> expected(input, o), actual(input, o);
            reference_->poleCascadePairs(pair.data(), expectedState.data(), sections,
                                         expected.get(), pairs);
            variant_->poleCascadePairs(pair.data(), actualState.data(), sections, actual.get(),
                                       pairs);
            ASSERT_EQ(expected.contents(), actual.contents())
                << "sections " << sections << " pairs " << pairs;
            ASSERT_EQ(expectedState, actualState);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, MmxKernelVariant,
                         ::testing::Values(MmxKernelSet::Scalar, MmxKernelSet::Sse2,
                                           MmxKernelSet::Avx2),
                         [](const ::testing::TestParamInfo<MmxKernelSet>& info) {
                             switch (info.param) {
                                 case MmxKernelSet::Scalar:
                                     return std::string("Scalar");
                                 case MmxKernelSet::Sse2:
                                     return std::string("Sse2");
                                 case MmxKernelSet::Avx2:
                                     return std::string("Avx2");
                             }
                             return std::string("Unknown");
                         });

TEST(MmxKernelSelection, StartsWithTheWidestVariantThisProcessorRuns) {
    const MmxKernels* widest = mmxKernelsFor(MmxKernelSet::Avx2);
    if (widest == nullptr) widest = mmxKernelsFor(MmxKernelSet::Sse2);
    if (widest == nullptr) widest = mmxKernelsFor(MmxKernelSet::Scalar);
    if (std::getenv("VE32_MMX_KERNELS") == nullptr) {
        EXPECT_EQ(&mmxKernels(), widest);
    }
    ASSERT_TRUE(selectMmxKernels(MmxKernelSet::Scalar));
    EXPECT_STREQ(mmxKernels().name, "scalar");
    if (!selectMmxKernels(MmxKernelSet::Avx2)) selectMmxKernels(MmxKernelSet::Sse2);
    EXPECT_EQ(&mmxKernels(), widest);
}

}  // namespace
}  // namespace ve32
