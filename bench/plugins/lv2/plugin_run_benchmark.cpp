// What a plugin's run() costs on top of the library: the same 16-bit material through
// veProcess16/m2sProcess16 directly and through run() in blocks of the same length. The
// difference is the float conversion, the cutting into chunks and the control handling.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "plugins/lv2/plugin_ports.h"
#include "ve32.h"

namespace {

using namespace ve::lv2;

constexpr int kRate = 44100;

const LV2_Descriptor* descriptor(const char* uri) {
    static void* library = dlopen(VE_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error("cannot load the plugin binary");
    auto entry =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    for (uint32_t i = 0; const LV2_Descriptor* d = entry(i); ++i) {
        if (std::strcmp(d->URI, uri) == 0) return d;
    }
    throw std::runtime_error("plugin not in the binary");
}

std::vector<float> material(size_t frames, float step) {
    std::vector<float> samples(frames);
    for (size_t t = 0; t < frames; ++t) {
        samples[t] = std::round(12000.0f * std::sin(step * static_cast<float>(t))) / 32768.0f;
    }
    return samples;
}

std::vector<int16_t> toPcm(const std::vector<float>& samples) {
    std::vector<int16_t> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        pcm[i] = static_cast<int16_t>(samples[i] * 32768.0f);
    return pcm;
}

void BM_ExpanderLibrary(benchmark::State& state) {
    const auto frames = static_cast<unsigned>(state.range(0));
    std::vector<float> left = material(frames, 0.01f), right = material(frames, 0.023f);
    std::vector<int16_t> in(2 * frames), out(2 * frames);
    const std::vector<int16_t> l = toPcm(left), r = toPcm(right);
    for (unsigned i = 0; i < frames; ++i) {
        in[2 * i] = l[i];
        in[2 * i + 1] = r[i];
    }
    void* handle = nullptr;
    veOpen(&handle, kRate, VE32_BACKEND_AUTO);
    veSetSpread(handle, 3.0f);
    for (auto _ : state) {
        veProcess16(handle, in.data(), out.data(), frames);
        benchmark::DoNotOptimize(out.data());
    }
    veClose(handle);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
}

void BM_ExpanderPlugin(benchmark::State& state) {
    namespace port = expander_port;
    const auto frames = static_cast<uint32_t>(state.range(0));
    std::vector<float> left = material(frames, 0.01f), right = material(frames, 0.023f);
    std::vector<float> outLeft(frames), outRight(frames);
    float controls[port::kCount] = {};
    controls[port::kEnabled] = 1.0f;
    controls[port::kSpread] = 3.0f;
    const LV2_Descriptor* d = descriptor(kStereoExpanderUri);
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle instance = d->instantiate(d, kRate, "", features);
    d->connect_port(instance, port::kInLeft, left.data());
    d->connect_port(instance, port::kInRight, right.data());
    d->connect_port(instance, port::kOutLeft, outLeft.data());
    d->connect_port(instance, port::kOutRight, outRight.data());
    for (uint32_t p = port::kEnabled; p < port::kCount; ++p)
        d->connect_port(instance, p, &controls[p]);
    d->activate(instance);
    for (auto _ : state) {
        d->run(instance, frames);
        benchmark::DoNotOptimize(outLeft.data());
    }
    d->cleanup(instance);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
}

void BM_MonoToStereoLibrary(benchmark::State& state) {
    const auto frames = static_cast<unsigned>(state.range(0));
    const std::vector<int16_t> in = toPcm(material(frames, 0.01f));
    std::vector<int16_t> out(2 * frames);
    void* handle = nullptr;
    m2sOpen(&handle, kRate, VE32_BACKEND_AUTO);
    for (auto _ : state) {
        m2sProcess16(handle, in.data(), out.data(), frames);
        benchmark::DoNotOptimize(out.data());
    }
    m2sClose(handle);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
}

void BM_MonoToStereoPlugin(benchmark::State& state) {
    namespace port = mono_to_stereo_port;
    const auto frames = static_cast<uint32_t>(state.range(0));
    std::vector<float> in = material(frames, 0.01f), outLeft(frames), outRight(frames);
    float enabled = 1.0f, latency = 0.0f;
    const LV2_Descriptor* d = descriptor(kMonoToStereoUri);
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle instance = d->instantiate(d, kRate, "", features);
    d->connect_port(instance, port::kIn, in.data());
    d->connect_port(instance, port::kOutLeft, outLeft.data());
    d->connect_port(instance, port::kOutRight, outRight.data());
    d->connect_port(instance, port::kEnabled, &enabled);
    d->connect_port(instance, port::kLatency, &latency);
    d->activate(instance);
    for (auto _ : state) {
        d->run(instance, frames);
        benchmark::DoNotOptimize(outLeft.data());
    }
    d->cleanup(instance);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
}

BENCHMARK(BM_ExpanderLibrary)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(BM_ExpanderPlugin)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(BM_MonoToStereoLibrary)->Arg(64)->Arg(1024);
BENCHMARK(BM_MonoToStereoPlugin)->Arg(64)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
