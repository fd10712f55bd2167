// Makes the Nth allocation fail and checks that every factory then gives null without leaking,
// whichever of the component's allocations (object or arrays) failed.
//
// The global allocation functions are replaced for this program, over malloc and free, so the
// address sanitizer still tracks every block and reports leaks.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "dsp/components/fpu/fpu_backend.h"

namespace {

std::atomic<long> liveAllocations{0};
std::atomic<long> allocationsUntilFailure{0};  // 0: no failure armed
std::atomic<bool> failureInjected{false};

void* allocate(std::size_t size) {
    const long remaining = allocationsUntilFailure.load();
    if (remaining > 0) {
        allocationsUntilFailure.store(remaining - 1);
        if (remaining == 1) {
            failureInjected.store(true);
            return nullptr;
        }
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        ++liveAllocations;
    }
    return block;
}

void release(void* block) {
    if (block != nullptr) {
        --liveAllocations;
        std::free(block);
    }
}

}  // namespace

void* operator new(std::size_t size) {
    void* block = allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) {
    void* block = allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* block) noexcept {
    release(block);
}
void operator delete[](void* block) noexcept {
    release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    release(block);
}

namespace ve32 {
namespace {

struct Factory {
    const char* name;
    std::function<DspNode*()> createNode;          // for filters and the tap delay
    std::function<ChannelBuffer*()> createBuffer;  // for the channel buffer
};

struct Outcome {
    bool created;
    bool injected;
    long leaked;
};

Outcome createWithFailureAt(const Factory& factory, long failingAllocation) {
    const long before = liveAllocations.load();
    failureInjected.store(false);
    allocationsUntilFailure.store(failingAllocation);
    DspNode* node = factory.createNode ? factory.createNode() : nullptr;
    ChannelBuffer* buffer = factory.createBuffer ? factory.createBuffer() : nullptr;
    allocationsUntilFailure.store(0);
    const bool created = node != nullptr || buffer != nullptr;
    delete node;
    delete buffer;
    return {created, failureInjected.load(), liveAllocations.load() - before};
}

TEST(FpuAllocationFailure, EveryFactoryGivesNullWithoutLeaking) {
    static const DelayTap taps[] = {{3, 0.5f}, {7, 0.25f}};
    static const TapDelayParams tapParams{taps, 2};
    static const float fir[] = {0.5f, 0.25f, 0.125f};
    static const FirParams firParams{fir, 3};
    static const float sections[] = {-1.9f, 0.9f, -2.0f, 1.0f};
    static const PoleZeroParams poleZeroParams{0.5f, 1, sections};
    static const PolePair pairs[] = {{1000.0f, 0.9f}, {3000.0f, 0.8f}};
    static const PoleParams poleParams{44100, -0.25f, 2, pairs};
    const Backend& backend = fpuBackend();

    const std::vector<Factory> factories = {
        {"channel buffer", nullptr, [&] { return backend.createChannelBuffer(1024); }},
        {"tap delay", [&] { return backend.createTapDelay(&tapParams); }, nullptr},
        {"FIR filter", [&] { return backend.createFirFilter(&firParams); }, nullptr},
        {"pole-zero cascade", [&] { return backend.createPoleZeroCascade(&poleZeroParams); },
         nullptr},
        {"pole cascade", [&] { return backend.createPoleCascade(&poleParams); }, nullptr},
    };
    for (const Factory& factory : factories) {
        SCOPED_TRACE(factory.name);
        long failing = 1;
        for (;; ++failing) {
            ASSERT_LT(failing, 10) << "the factory never completed";
            const Outcome outcome = createWithFailureAt(factory, failing);
            EXPECT_EQ(outcome.leaked, 0) << "failing allocation " << failing;
            if (!outcome.injected) {
                EXPECT_TRUE(outcome.created);
                break;
            }
            EXPECT_FALSE(outcome.created) << "failing allocation " << failing;
        }
        // The object and every one of its arrays were tried.
        EXPECT_GE(failing, factory.createBuffer ? 3 : 4);
    }
}

}  // namespace
}  // namespace ve32
