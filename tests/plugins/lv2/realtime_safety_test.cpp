// run() must never touch the heap once a plugin is activated: not for any block length, not for
// any control change, with or without a host worker.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "tests/plugins/lv2/counting_allocator.h"
#include "tests/plugins/lv2/plugin_test_support.h"

namespace ve::lv2::testing {
namespace {

TEST(CountingAllocator, CountsTheArmedThreadOnly) {
    // Without this the tests below could pass because nothing is being counted. The calls go
    // through volatile pointers so that the compiler cannot drop an allocation it can see freed.
    void* (*volatile allocate)(size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;
    void* (*volatile allocateObject)(size_t) = static_cast<void* (*)(size_t)>(&::operator new);
    void (*volatile releaseObject)(void*) = static_cast<void (*)(void*)>(&::operator delete);
    std::atomic<bool> go{false};
    std::thread other([&] {
        while (!go.load()) std::this_thread::yield();
        release(allocate(24));
    });
    const long allocationsBefore = countedAllocations();
    const long releasesBefore = countedReleases();
    armAllocationCounter();
    release(allocate(24));
    releaseObject(allocateObject(24));
    go.store(true);
    other.join();
    disarmAllocationCounter();
    EXPECT_EQ(countedAllocations() - allocationsBefore, 2);
    EXPECT_EQ(countedReleases() - releasesBefore, 2);
}

TEST(RealtimeSafety, ExpanderRunNeverTouchesTheHeap) {
    namespace port = expander_port;
    const StereoMaterial material = makeStereoMaterial(120000);
    for (WorkerMode mode : {WorkerMode::kNone, WorkerMode::kDeferred, WorkerMode::kThreaded}) {
        SCOPED_TRACE(modeName(mode));
        ExpanderRig rig(44100, {mode});
        rig.host.activate();
        size_t block = 0;
        runExpander(rig, material, [&](size_t, uint32_t) {
            // Every control changes now and then, the expensive ones included.
            ++block;
            rig.controls[port::kSpread] = static_cast<float>(block % 13) - 6.0f;
            if (block % 3 == 0) rig.controls[port::kCenter] = -static_cast<float>(block % 5);
            if (block % 4 == 0)
                rig.controls[port::kInputScaleL] = -0.5f * static_cast<float>(block % 7);
            if (block % 5 == 0)
                rig.controls[port::kInputDelayL] = static_cast<float>(block * 37 % 4801);
            if (block % 6 == 0) rig.controls[port::kInputDelayR] = static_cast<float>(block % 9);
            if (block % 7 == 0) rig.controls[port::kShaping] = static_cast<float>(block / 7 % 2);
            if (block % 8 == 0) rig.controls[port::kBackend] = static_cast<float>(block / 8 % 3);
            if (block % 9 == 0) rig.controls[port::kEnabled] = block / 9 % 2 == 0 ? 1.0f : 0.0f;
            if (block % 10 == 0) rig.controls[port::kInputScaleR] = 1e30f;  // clamped to the range
        });
        // Table changes must still arrive in both directions, or the engine changes above were
        // never made and there was nothing to count.
        const StereoMaterial tail = makeStereoMaterial(64);
        for (int shaping : {0, 1}) {
            rig.controls[port::kShaping] = static_cast<float>(shaping);
            for (int i = 0; i < 3; ++i) {
                rig.host.settleWorker();
                runExpander(rig, tail, {}, {64});
            }
            EXPECT_EQ(rig.latency(), shaping == 0 ? 5.0f : 0.0f);
        }
        EXPECT_EQ(rig.host.audioThreadAllocations(), 0);
        EXPECT_EQ(rig.host.audioThreadReleases(), 0);
    }
}

TEST(RealtimeSafety, MonoToStereoRunNeverTouchesTheHeap) {
    namespace port = mono_to_stereo_port;
    const std::vector<float> in = toFloat(makeChannel(60000, 2));
    std::vector<float> left(in.size()), right(in.size());
    MonoToStereoRig rig(48000);
    rig.host.activate();
    size_t first = 0;
    for (size_t block = 0; first < in.size(); ++block) {
        const auto count = static_cast<uint32_t>(
            std::min<size_t>(kBlockPattern[block % kBlockPattern.size()], in.size() - first));
        if (block % 4 == 0) rig.controls[port::kEnabled] = block / 4 % 2 == 0 ? 1.0f : 0.0f;
        rig.runBlock(in, left, right, first, count);
        first += count;
    }
    EXPECT_EQ(rig.host.audioThreadAllocations(), 0);
    EXPECT_EQ(rig.host.audioThreadReleases(), 0);
}

}  // namespace
}  // namespace ve::lv2::testing
