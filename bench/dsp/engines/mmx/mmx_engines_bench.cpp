// Both engines at 44100 Hz on the floating-point back-end and on the packed back-end with each
// kernel variant (scalar, SSE2, AVX2), side by side in one run. Calls of 1024 frames of 16-bit
// noise. Counters: frames per second and the real-time factor. Pin to one core for comparable
// figures (taskset -c 1).

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "dsp/components/mmx/kernels.h"
#include "ve32.h"

namespace {

using ve32::MmxKernelSet;

constexpr unsigned kFrames = 1024;
constexpr int kRate = 44100;
constexpr unsigned kBlocks = 64;

std::vector<int16_t> noise(std::size_t count) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> dist(-12000, 12000);
    std::vector<int16_t> out(count);
    for (auto& s : out) s = static_cast<int16_t>(dist(random));
    return out;
}

void run(benchmark::State& state, bool expander, unsigned backend, MmxKernelSet kernels) {
    if (backend == VE32_BACKEND_MMX && !ve32::selectMmxKernels(kernels)) {
        state.SkipWithError("kernel variant not available");
        return;
    }
    void* handle = nullptr;
    if ((expander ? veOpen(&handle, kRate, backend) : m2sOpen(&handle, kRate, backend)) !=
        VE32_OK) {
        state.SkipWithError("open failed");
        return;
    }
    const unsigned channels = expander ? 2 : 1;
    const auto input = noise(std::size_t(kBlocks) * kFrames * channels);
    std::vector<int16_t> output(2 * kFrames);
    unsigned block = 0;
    for (auto _ : state) {
        const int16_t* in = input.data() + std::size_t(block) * kFrames * channels;
        if (expander) {
            veProcess16(handle, in, output.data(), kFrames);
        } else {
            m2sProcess16(handle, in, output.data(), kFrames);
        }
        benchmark::DoNotOptimize(output.data());
        block = (block + 1) % kBlocks;
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
    state.counters["xRealTime"] = benchmark::Counter(double(state.iterations()) * kFrames / kRate,
                                                     benchmark::Counter::kIsRate);
    if (expander) {
        veClose(handle);
    } else {
        m2sClose(handle);
    }
}

void registerAll() {
    const struct {
        const char* name;
        unsigned backend;
        MmxKernelSet kernels;
    } variants[] = {{"fpu", VE32_BACKEND_FPU, MmxKernelSet::Scalar},
                    {"mmx-scalar", VE32_BACKEND_MMX, MmxKernelSet::Scalar},
                    {"mmx-sse2", VE32_BACKEND_MMX, MmxKernelSet::Sse2},
                    {"mmx-avx2", VE32_BACKEND_MMX, MmxKernelSet::Avx2}};
    for (bool expander : {true, false}) {
        for (const auto& v : variants) {
            const std::string name =
                std::string(expander ? "expander" : "mono2stereo") + "/" + v.name + "/44100";
            const unsigned backend = v.backend;
            const MmxKernelSet kernels = v.kernels;
            benchmark::RegisterBenchmark(
                name.c_str(), [=](benchmark::State& s) { run(s, expander, backend, kernels); });
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
