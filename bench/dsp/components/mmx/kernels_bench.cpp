// Throughput of each packed kernel variant on blocks of 1024 samples, side by side in one run.
// Counters: samples per second ("samples/s").

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "dsp/components/mmx/kernels.h"

namespace {

using ve32::MmxKernels;
using ve32::MmxKernelSet;

constexpr int32_t kBlock = 1024;

std::vector<int16_t> noise(std::size_t n, int amplitude) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> v(n);
    for (auto& x : v) x = static_cast<int16_t>(dist(random));
    return v;
}

void countSamples(benchmark::State& state) {
    state.counters["samples/s"] =
        benchmark::Counter(double(state.iterations()) * kBlock, benchmark::Counter::kIsRate);
}

void mixRamp(benchmark::State& state, const MmxKernels* k) {
    const auto src = noise(kBlock, 12000);
    auto dst = noise(kBlock, 12000);
    for (auto _ : state) {
        k->mixRamp16(src.data(), -8191, 0, dst.data(), kBlock);
        benchmark::DoNotOptimize(dst.data());
    }
    countSamples(state);
}

void storeRamp8(benchmark::State& state, const MmxKernels* k) {
    std::vector<uint8_t> src(kBlock, 200);
    std::vector<int16_t> dst(kBlock);
    for (auto _ : state) {
        k->storeRamp8(src.data(), 8191, 3, dst.data(), kBlock);
        benchmark::DoNotOptimize(dst.data());
    }
    countSamples(state);
}

void mixWide(benchmark::State& state, const MmxKernels* k) {
    const auto src = noise(kBlock, 12000);
    auto dst = noise(kBlock, 12000);
    for (auto _ : state) {
        k->mixWide16(src.data(), 65534, 0, dst.data(), kBlock);
        benchmark::DoNotOptimize(dst.data());
    }
    countSamples(state);
}

void interleave(benchmark::State& state, const MmxKernels* k) {
    const auto left = noise(kBlock, 12000), right = noise(kBlock, 12000);
    std::vector<int16_t> dst(2 * kBlock);
    for (auto _ : state) {
        k->interleave16(left.data(), right.data(), dst.data(), kBlock);
        benchmark::DoNotOptimize(dst.data());
    }
    countSamples(state);
}

void fir45(benchmark::State& state, const MmxKernels* k) {
    constexpr int32_t taps = 45;
    std::vector<int16_t> copies[4];
    ve32::FirLayout layout{};
    layout.tapCount = taps;
    const auto q = noise(taps, 18000);
    for (int r = 0; r < 4; ++r) {
        copies[r].assign(48, 0);
        std::copy(q.begin(), q.end(), copies[r].begin() + r);
        layout.phaseCoefficients[r] = copies[r].data();
        layout.phaseLengths[r] = 48;
    }
    std::vector<int16_t> history(2 * taps + 14, 0);
    const auto input = noise(kBlock, 12000);
    std::vector<int16_t> block(kBlock);
    int32_t position = taps - 1;
    for (auto _ : state) {
        block = input;
        position = k->firBlock(layout, history.data(), position, block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    countSamples(state);
}

void poleZeroSection(benchmark::State& state, const MmxKernels* k) {
    // The 44100 Hz 75 Hz high-pass, in Q13.
    const int32_t pair[12] = {8130,  0,      8102,  8130,  8130,   -16260,
                              16128, -16316, -8069, 16260, -16001, 24212};
    int16_t history[4] = {};
    const auto input = noise(kBlock, 12000);
    std::vector<int16_t> block(kBlock);
    for (auto _ : state) {
        block = input;
        k->poleZeroPairs(pair, history, block.data(), kBlock / 2);
        benchmark::DoNotOptimize(block.data());
    }
    countSamples(state);
}

void poleZeroExtended(benchmark::State& state, const MmxKernels* k) {
    // The 44100 Hz 75 Hz high-pass.
    const ve32::ExtendedPairCoefficients pair = {
        {266414260, 0, -4026477, 266414260, 266414260, -532828520, 528802044, -791191046},
        {-264408617, 532815446, -524812706, 793180851}};
    int16_t inputs[2] = {};
    int64_t outputs[2] = {};
    const auto input = noise(kBlock, 12000);
    std::vector<int16_t> block(kBlock);
    for (auto _ : state) {
        block = input;
        k->poleZeroPairsExtended(pair, inputs, outputs, block.data(), kBlock / 2);
        benchmark::DoNotOptimize(block.data());
    }
    countSamples(state);
}

void poleCascade(benchmark::State& state, const MmxKernels* k) {
    const auto sections = static_cast<int32_t>(state.range(0));
    // Decaying resonators (radius about 0.9), gain 0.25 per section.
    std::vector<int16_t> pair;
    for (int32_t i = 0; i < sections; ++i) {
        pair.insert(pair.end(), {2048, 0, 2560, 2048, -6636, 10240, -8294, 6164});
    }
    std::vector<int16_t> history(2 * static_cast<std::size_t>(sections), 0);
    const auto input = noise(kBlock, 12000);
    std::vector<int16_t> block(kBlock);
    for (auto _ : state) {
        block = input;
        k->poleCascadePairs(pair.data(), history.data(), sections, block.data(), kBlock / 2);
        benchmark::DoNotOptimize(block.data());
    }
    countSamples(state);
}

void registerAll() {
    const struct {
        const char* name;
        MmxKernelSet set;
    } variants[] = {{"scalar", MmxKernelSet::Scalar},
                    {"sse2", MmxKernelSet::Sse2},
                    {"avx2", MmxKernelSet::Avx2}};
    const struct {
        const char* name;
        void (*run)(benchmark::State&, const MmxKernels*);
    } kernels[] = {{"mixRamp16", mixRamp},
                   {"storeRamp8", storeRamp8},
                   {"mixWide16", mixWide},
                   {"interleave16", interleave},
                   {"firBlock45", fir45},
                   {"poleZeroPairs", poleZeroSection},
                   {"poleZeroPairsExtended", poleZeroExtended},
                   {"poleCascadePairs", poleCascade}};
    for (const auto& kernel : kernels) {
        for (const auto& variant : variants) {
            const MmxKernels* table = ve32::mmxKernelsFor(variant.set);
            if (table == nullptr) continue;
            const std::string name = std::string(kernel.name) + "/" + variant.name;
            auto* b = benchmark::RegisterBenchmark(name.c_str(), kernel.run, table);
            if (kernel.run == poleCascade) b->Arg(1)->Arg(2)->Arg(4);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
