// Throughput of both engines in calls of 1024 frames, per back-end, sample width and rate.
// Reports frames per second and the real-time factor (frames per second / sample rate), and counts
// the allocations made while processing: that count must be 0.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "ve32.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr unsigned kFrames = 1024;

enum Engine { kExpander, kMonoToStereo };
enum Width { k16Bit, k8Bit };

template <class Sample>
std::vector<Sample> noise(std::size_t count) {
    std::mt19937 rng(7);
    std::vector<Sample> out(count);
    if constexpr (sizeof(Sample) == 2) {
        std::uniform_int_distribution<int> dist(-12000, 12000);
        for (auto& s : out) s = Sample(dist(rng));
    } else {
        std::uniform_int_distribution<int> dist(80, 176);
        for (auto& s : out) s = Sample(dist(rng));
    }
    return out;
}

template <class Sample>
void run(benchmark::State& state, Engine engine, unsigned backend, int rate) {
    void* handle = nullptr;
    const int result =
        engine == kExpander ? veOpen(&handle, rate, backend) : m2sOpen(&handle, rate, backend);
    if (result != VE32_OK) {
        state.SkipWithError("open failed");
        return;
    }
    const unsigned inChannels = engine == kExpander ? 2 : 1;
    // Several seconds of distinct input so the work is not a cached replay of one block.
    constexpr unsigned kBlocks = 64;
    const auto input = noise<Sample>(std::size_t(kBlocks) * kFrames * inChannels);
    std::vector<Sample> output(2 * kFrames);
    const long allocationsBefore = allocations.load();
    unsigned block = 0;
    for (auto _ : state) {
        const Sample* in = input.data() + std::size_t(block) * kFrames * inChannels;
        if constexpr (sizeof(Sample) == 2) {
            if (engine == kExpander)
                veProcess16(handle, in, output.data(), kFrames);
            else
                m2sProcess16(handle, in, output.data(), kFrames);
        } else {
            if (engine == kExpander)
                veProcess8(handle, in, output.data(), kFrames);
            else
                m2sProcess8(handle, in, output.data(), kFrames);
        }
        benchmark::DoNotOptimize(output.data());
        block = (block + 1) % kBlocks;
    }
    state.counters["allocs"] = double(allocations.load() - allocationsBefore);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
    state.counters["xRealTime"] = benchmark::Counter(double(state.iterations()) * kFrames / rate,
                                                     benchmark::Counter::kIsRate);
    if (engine == kExpander)
        veClose(handle);
    else
        m2sClose(handle);
}

void registerAll() {
    struct Named {
        const char* name;
        unsigned flags;
    };
    const Named backends[] = {{"fpu", VE32_BACKEND_FPU}, {"mmx", VE32_BACKEND_MMX}};
    for (Engine engine : {kExpander, kMonoToStereo}) {
        for (const Named& backend : backends) {
            for (Width width : {k16Bit, k8Bit}) {
                for (int rate : {8000, 44100, 48000}) {
                    const std::string name =
                        std::string(engine == kExpander ? "expander" : "mono2stereo") + "/" +
                        backend.name + "/" + (width == k16Bit ? "16bit" : "8bit") + "/" +
                        std::to_string(rate);
                    const unsigned flags = backend.flags;
                    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                        if (width == k16Bit)
                            run<int16_t>(s, engine, flags, rate);
                        else
                            run<uint8_t>(s, engine, flags, rate);
                    });
                }
            }
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
