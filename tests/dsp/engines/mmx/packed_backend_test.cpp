// Both engines on the packed 16-bit back-end, through the public interface: they track the
// floating-point back-end within a stated error at every rate, split calls at block boundaries
// change nothing, every kernel variant gives the same output, and the automatic choice picks the
// packed back-end where the processor has MMX.
//
// The error bounds, in 16-bit steps:
// - Stereo expander, 48 (about -57 dB of full scale). The packed shaping filters truncate every
//   section output downwards (half a step on average) and round their coefficients to Q13/Q14;
//   their resonators accumulate both. Measured worst cases are 11 to 39 steps, the largest for
//   the one-section shaping at 44100 and 48000 Hz and for the four-section 22050 Hz cascade, which
//   also carries an offset of about 17 steps. The floating-point output rounds, the packed one
//   truncates, which adds up to one step.
// - Mono to stereo, 32. The FIR output is the sum of 23 pair products, each shifted down on its
//   own (up to one step low each, about 11.5 on average), plus Q15 coefficient rounding; measured
//   worst 21.
// The signals stay where no packed intermediate needs more than 16 bits: noise of +-8000 and
// sweeps of amplitude 4000 (-18 dB). At 44100 Hz the second resonator of the expander's shaping
// cascade needs more than 16 bits for a sweep of amplitude 8000 (each section carries a quarter
// of the cascade's gain, 0.218, and that resonator peaks at about 10 times its input), and the
// packed output then clips inside the filter where the floating-point one does not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/components/mmx/kernels.h"
#include "dsp/frame/cpu_detection.h"
#include "tests/dsp/engines/engine_handles.h"
#include "tests/dsp/support/signals.h"
#include "ve32.h"

namespace ve32 {
namespace {

using testing::Expander;
using testing::kAllRates;
using testing::maxAbsDifference;
using testing::MonoToStereoHandle;
using testing::noise16;
using testing::sweep16;

constexpr int kExpanderBound = 48;
constexpr int kMonoToStereoBound = 32;

struct Signal {
    const char* name;
    std::vector<int16_t> (*make)(std::size_t frames, int channels, int rate);
};
const Signal kSignals[] = {
    {"noise",
     [](std::size_t frames, int channels, int) { return noise16(frames * channels, 8000, 17); }},
    {"sweep", [](std::size_t frames, int channels,
                 int rate) { return sweep16(frames, channels, rate, 4000.0); }},
};

TEST(PackedBackend, ExpanderTracksFloatingPointAtEveryRate) {
    for (unsigned shaping : {0u, VE32_FLAG_SECTION_SHAPING}) {
        for (int rate : kAllRates) {
            for (const Signal& signal : kSignals) {
                const auto input =
                    signal.make(static_cast<std::size_t>(rate), 2, rate);  // one second
                Expander fpu(rate, VE32_BACKEND_FPU | shaping);
                Expander mmx(rate, VE32_BACKEND_MMX | shaping);
                EXPECT_LE(maxAbsDifference(fpu.run16(input), mmx.run16(input)), kExpanderBound)
                    << rate << " Hz, " << signal.name << (shaping != 0 ? ", section shaping" : "");
            }
        }
    }
}

TEST(PackedBackend, MonoToStereoTracksFloatingPointAtEveryRate) {
    for (int rate : kAllRates) {
        for (const Signal& signal : kSignals) {
            const auto input = signal.make(static_cast<std::size_t>(rate), 1, rate);
            MonoToStereoHandle fpu(rate, VE32_BACKEND_FPU);
            MonoToStereoHandle mmx(rate, VE32_BACKEND_MMX);
            EXPECT_LE(maxAbsDifference(fpu.run16(input), mmx.run16(input)), kMonoToStereoBound)
                << rate << " Hz, " << signal.name;
        }
    }
}

// 8-bit output: the floating-point conversion rounds to the nearest level, the packed one
// truncates, so the two may differ by one level plus the 16-bit difference above (under one).
TEST(PackedBackend, EightBitOutputsTrackWithinTwoLevels) {
    std::vector<uint8_t> stereo(2 * 8000), mono(8000);
    const auto noise = noise16(stereo.size(), 8000, 23);
    for (std::size_t i = 0; i < stereo.size(); ++i)
        stereo[i] = static_cast<uint8_t>((noise[i] >> 8) + 128);
    std::copy(stereo.begin(), stereo.begin() + static_cast<long>(mono.size()), mono.begin());
    const auto worst8 = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        int worst = 0;
        for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
        return worst;
    };
    for (int rate : kAllRates) {
        Expander fpu(rate, VE32_BACKEND_FPU), mmx(rate, VE32_BACKEND_MMX);
        EXPECT_LE(worst8(fpu.run8(stereo), mmx.run8(stereo)), 2) << rate;
        MonoToStereoHandle fpuM(rate, VE32_BACKEND_FPU), mmxM(rate, VE32_BACKEND_MMX);
        EXPECT_LE(worst8(fpuM.run8(mono), mmxM.run8(mono)), 2) << rate;
    }
}

// Near-silence stays near silence: a noise floor of +-3 steps comes out within a few steps, with
// no offset (in 16-bit arithmetic the 75 Hz high-pass would turn it into swings of thousands).
TEST(PackedBackend, NearSilenceStaysQuiet) {
    for (unsigned shaping : {0u, VE32_FLAG_SECTION_SHAPING}) {
        for (int rate : kAllRates) {
            const auto input = noise16(2 * static_cast<std::size_t>(rate), 3, 29);
            Expander mmx(rate, VE32_BACKEND_MMX | shaping);
            const auto out = mmx.run16(input);
            const auto peak = std::max_element(out.begin(), out.end(), [](int16_t a, int16_t b) {
                return std::abs(a) < std::abs(b);
            });
            EXPECT_LE(std::abs(*peak), 48) << rate << " Hz";
        }
    }
}

// One long call and calls split at the 1024-frame block boundaries give the same output, also in
// place. (Calls split elsewhere group their 16-sample mixing differently and may differ by a few
// steps; they stay within the tracking bound.)
TEST(PackedBackend, BlockBoundarySplitsChangeNothing) {
    for (int rate : {8000, 22050, 44100, 48000}) {
        for (unsigned shaping : {0u, VE32_FLAG_SECTION_SHAPING}) {
            const auto input = noise16(2 * 5000, 8000, 31);
            Expander whole(rate, VE32_BACKEND_MMX | shaping);
            Expander split(rate, VE32_BACKEND_MMX | shaping);
            Expander inPlace(rate, VE32_BACKEND_MMX | shaping);
            Expander odd(rate, VE32_BACKEND_MMX | shaping);
            const auto reference = whole.run16(input);
            EXPECT_EQ(split.run16Split(input, {1024, 2048, 1024, 904}), reference) << rate;
            auto buffer = input;
            for (std::size_t frame = 0; frame < 5000; frame += 1024) {
                const auto n = static_cast<unsigned>(std::min<std::size_t>(1024, 5000 - frame));
                veProcess16(inPlace.handle, buffer.data() + 2 * frame, buffer.data() + 2 * frame,
                            n);
            }
            EXPECT_EQ(buffer, reference) << rate;
            EXPECT_LE(maxAbsDifference(odd.run16Split(input, {333, 1000, 17, 999}), reference),
                      kExpanderBound);

            std::vector<uint8_t> bytes(input.size());
            for (std::size_t i = 0; i < input.size(); ++i)
                bytes[i] = static_cast<uint8_t>((input[i] >> 8) + 128);
            Expander whole8(rate, VE32_BACKEND_MMX | shaping);
            Expander inPlace8(rate, VE32_BACKEND_MMX | shaping);
            const auto reference8 = whole8.run8(bytes);
            for (std::size_t frame = 0; frame < 5000; frame += 1024) {
                const auto n = static_cast<unsigned>(std::min<std::size_t>(1024, 5000 - frame));
                veProcess8(inPlace8.handle, bytes.data() + 2 * frame, bytes.data() + 2 * frame, n);
            }
            EXPECT_EQ(bytes, reference8) << rate;
        }
        const auto mono = noise16(5000, 8000, 37);
        MonoToStereoHandle whole(rate, VE32_BACKEND_MMX), split(rate, VE32_BACKEND_MMX);
        const auto reference = whole.run16(mono);
        std::vector<int16_t> out(2 * mono.size());
        for (std::size_t frame = 0; frame < mono.size(); frame += 1024) {
            const auto n = static_cast<unsigned>(std::min<std::size_t>(1024, mono.size() - frame));
            m2sProcess16(split.handle, mono.data() + frame, out.data() + 2 * frame, n);
        }
        EXPECT_EQ(out, reference) << rate;
    }
}

// Engines built while each kernel variant is in use produce identical output.
TEST(PackedBackend, EveryKernelVariantGivesTheSameOutput) {
    const MmxKernels& initial = mmxKernels();
    const auto stereo = noise16(2 * 6000, 12000, 41);
    const auto mono = noise16(6000, 12000, 43);
    std::vector<int16_t> expander, monoToStereo;
    int variants = 0;
    for (MmxKernelSet set : {MmxKernelSet::Scalar, MmxKernelSet::Sse2, MmxKernelSet::Avx2}) {
        if (!selectMmxKernels(set)) continue;
        ++variants;
        Expander e(44100, VE32_BACKEND_MMX);
        veSetSpread(e.handle, 6.0f);  // wide gains included
        MonoToStereoHandle m(44100, VE32_BACKEND_MMX);
        const auto a = e.run16Split(stereo, {1024, 333, 700});
        const auto b = m.run16(mono);
        if (expander.empty()) {
            expander = a;
            monoToStereo = b;
        } else {
            EXPECT_EQ(a, expander) << mmxKernels().name;
            EXPECT_EQ(b, monoToStereo) << mmxKernels().name;
        }
    }
    for (MmxKernelSet set : {MmxKernelSet::Scalar, MmxKernelSet::Sse2, MmxKernelSet::Avx2}) {
        if (mmxKernelsFor(set) == &initial) selectMmxKernels(set);
    }
#if defined(__x86_64__)
    EXPECT_GE(variants, 2);  // scalar and SSE2 at least
#endif
}

// Settings above 0 dB give mixing gains beyond 1.0 (input scale above 0 dB for the direct path,
// input scale times spread above 4, about +12 dB, for the cross and own paths): they are applied,
// not wrapped, so the packed back-end keeps tracking the floating-point one and louder settings
// come out louder. The input is quiet enough that nothing clips inside the filters.
TEST(PackedBackend, GainsAboveUnityAreApplied) {
    const auto input = noise16(2 * 20000, 600, 47);
    const auto rms = [](const std::vector<int16_t>& v) {
        double sum = 0;
        for (int16_t x : v) sum += double(x) * x;
        return std::sqrt(sum / double(v.size()));
    };
    for (const auto& [rate, shaping] :
         {std::pair{44100, VE32_FLAG_SECTION_SHAPING}, std::pair{8000, 0u}}) {
        double previous = 0;
        for (float decibels : {0.0f, 3.0f, 6.0f, 9.5f}) {
            Expander fpu(rate, VE32_BACKEND_FPU | shaping), mmx(rate, VE32_BACKEND_MMX | shaping);
            for (void* h : {fpu.handle, mmx.handle}) {
                veSetInputScale(h, decibels, decibels);
                veSetSpread(h,
                            2.0f * decibels);  // cross gain up to 0.25 * 10^(28.5 / 20), about 6.7
            }
            const auto a = fpu.run16(input);
            const auto b = mmx.run16(input);
            EXPECT_LE(maxAbsDifference(a, b), kExpanderBound)
                << rate << " Hz, " << decibels << " dB";
            EXPECT_GT(rms(b), previous) << rate << " Hz, " << decibels << " dB";
            previous = rms(b);
        }
    }
}

TEST(PackedBackend, AutomaticChoiceFollowsTheProcessor) {
    const bool packed = cpuHasCpuid() != 0 && cpuHasMmx() != 0;
#if defined(__x86_64__)
    EXPECT_TRUE(packed);
#endif
    const auto input = noise16(2 * 3000, 8000, 53);
    Expander mmx(44100, VE32_BACKEND_MMX), fpu(44100, VE32_BACKEND_FPU);
    const auto packedOut = mmx.run16(input);
    const auto floatOut = fpu.run16(input);
    ASSERT_NE(packedOut, floatOut);
    for (unsigned flags : {0u, 3u, 4u, 7u, 0x80000000u | 5u}) {
        Expander automatic(44100, flags & ~VE32_FLAG_SECTION_SHAPING);
        EXPECT_EQ(automatic.run16(input), packed ? packedOut : floatOut) << flags;
    }
    const auto mono = noise16(3000, 8000, 59);
    MonoToStereoHandle mmxM(22050, VE32_BACKEND_MMX), automaticM(22050, 0);
    EXPECT_EQ(automaticM.run16(mono), mmxM.run16(mono));
}

}  // namespace
}  // namespace ve32
