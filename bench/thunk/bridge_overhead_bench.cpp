// One 16-bit stereo block through the stereo expander: called on ve32 directly, through the
// bridge's forwarding function (exception guard included), and from the 16-bit side through the
// entry table (frame, far pointers, prolog and epilog included). The differences between the three
// are the bridge's cost per call; the empty guard shows the guard's share alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/loader/dynamic_library.h"
#include "platform/seh/structured_exceptions.h"
#include "platform/thunk/selectors.h"
#include "platform/thunk/thunk_services.h"
#include "ve32.h"

namespace {

constexpr int rate = 44100;
constexpr unsigned int flags = VE32_BACKEND_FPU;
constexpr DWORD veOpenIndex = 13;
constexpr DWORD veProcess16Index = 12;
constexpr DWORD veCloseIndex = 6;

std::vector<int16_t> input(size_t frames) {
    std::vector<int16_t> samples(2 * frames);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
    return samples;
}

// The 16-bit side, connected to a loaded bridge for the whole run.
struct Side16 {
    Side16() {
        setenv("VE_DLL_PATH", (std::string(BRIDGE_DIRECTORY) + ":" + VE32_DIRECTORY).c_str(), 1);
        ThunkConnect16("VE16.DLL", "VE32THK.DLL", "ve_ThunkData16", &record, DLL_PROCESS_ATTACH);
        bridge = LoadLibraryA("VE32THK.DLL");
    }
    ~Side16() {
        if (bridge != nullptr) FreeLibrary(bridge);
        ThunkConnect16("VE16.DLL", "VE32THK.DLL", "ve_ThunkData16", &record, DLL_PROCESS_DETACH);
    }
    DWORD call(DWORD index, std::initializer_list<DWORD> dwords, WORD lastWord, bool withWord) {
        Stack16 stack;
        for (DWORD value : dwords) stack.pushDword(value);
        if (withWord) stack.pushWord(lastWord);
        DWORD result = 0;
        ThunkDispatch16To32(&record, index, &stack, &result);
        return result;
    }

    ThunkData16 record{{'S', 'L', '0', '1'}, 0x11A2F, 14, {}};
    HMODULE bridge = nullptr;
};

void directCall(benchmark::State& state) {
    const size_t frames = static_cast<size_t>(state.range(0));
    void* handle = nullptr;
    veOpen(&handle, rate, flags);
    const std::vector<int16_t> in = input(frames);
    std::vector<int16_t> out(in.size());
    for (auto _ : state) {
        veProcess16(handle, in.data(), out.data(), static_cast<unsigned int>(frames));
        benchmark::DoNotOptimize(out.data());
    }
    veClose(handle);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
}

void forwardingFunction(benchmark::State& state) {
    Side16 side;
    if (side.bridge == nullptr) {
        state.SkipWithError("the bridge did not load");
        return;
    }
    using Open = int (*)(void**, int, unsigned int);
    using Process = int (*)(void*, const int16_t*, int16_t*, unsigned int);
    using Close = void (*)(void*);
    const auto open = reinterpret_cast<Open>(GetProcAddress(side.bridge, "veOpen"));
    const auto process = reinterpret_cast<Process>(GetProcAddress(side.bridge, "veProcess16"));
    const auto close = reinterpret_cast<Close>(GetProcAddress(side.bridge, "veClose"));
    const size_t frames = static_cast<size_t>(state.range(0));
    void* handle = nullptr;
    open(&handle, rate, flags);
    const std::vector<int16_t> in = input(frames);
    std::vector<int16_t> out(in.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            process(handle, in.data(), out.data(), static_cast<unsigned int>(frames)));
    }
    close(handle);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
}

void entryTable(benchmark::State& state) {
    Side16 side;
    if (side.bridge == nullptr) {
        state.SkipWithError("the bridge did not load");
        return;
    }
    const size_t frames = static_cast<size_t>(state.range(0));
    DWORD handle = 0;
    const SEGPTR handleVariable = MapLS(&handle);
    side.call(veOpenIndex, {handleVariable, rate, flags}, 0, false);
    std::vector<int16_t> in = input(frames);
    std::vector<int16_t> out(in.size());
    const SEGPTR in16 = MapLS(in.data());
    const SEGPTR out16 = MapLS(out.data());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            side.call(veProcess16Index, {handle, in16, out16}, static_cast<WORD>(frames), true));
    }
    side.call(veCloseIndex, {handle}, 0, false);
    UnMapLS(in16);
    UnMapLS(out16);
    UnMapLS(handleVariable);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
}

void emptyGuard(benchmark::State& state) {
    DWORD code = 0;
    for (auto _ : state) benchmark::DoNotOptimize(SehTryExcept([](void*) {}, nullptr, &code));
}

BENCHMARK(directCall)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(forwardingFunction)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(entryTable)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(emptyGuard);

}  // namespace

BENCHMARK_MAIN();
