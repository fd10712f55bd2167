// Every factory of the packed back-end returns null, and leaks nothing, whichever of its
// allocations fails. This executable replaces the global allocation functions with ones that can
// be told to fail the n-th allocation from now.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "dsp/components/mmx/mmx_backend.h"

namespace {

int allocationsBeforeFailure = -1;  // -1: never fail
bool failureHappened = false;

void* allocate(std::size_t size) {
    if (allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = -1;
        failureHappened = true;
        return nullptr;
    }
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair these frees with the operators new that call
// the matching malloc.
[[gnu::noinline]] void release(void* block) {
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}

namespace ve32 {
namespace {

// Runs `make` with the n-th allocation failing, for n = 0, 1, ... until it needs fewer than n.
// Every run in which an allocation failed must give null.
template <class T>
void expectNullOnEveryFailure(const std::function<T*()>& make) {
    for (int n = 0;; ++n) {
        ASSERT_LT(n, 64) << "the factory never finished";
        failureHappened = false;
        allocationsBeforeFailure = n;
        std::unique_ptr<T> made(make());
        allocationsBeforeFailure = -1;
        if (failureHappened) {
            EXPECT_EQ(made, nullptr) << "allocation " << n << " failed";
        } else {
            EXPECT_NE(made, nullptr);
            return;
        }
    }
}

TEST(MmxFactoriesUnderMemoryExhaustion, ReturnNullWhenAnyAllocationFails) {
    const Backend& backend = mmxBackend();
    expectNullOnEveryFailure<ChannelBuffer>([&] { return backend.createChannelBuffer(1024); });

    const DelayTap taps[] = {{3, 0.5f}, {7, 0.25f}};
    const TapDelayParams tapParams{taps, 2};
    expectNullOnEveryFailure<TapDelay>([&] { return backend.createTapDelay(&tapParams); });

    const std::vector<float> coefficients(45, 0.02f);
    const FirParams firParams{coefficients.data(), 45};
    expectNullOnEveryFailure<Filter>([&] { return backend.createFirFilter(&firParams); });

    const float sections[8] = {-1.9f, 0.9f, -2.0f, 1.0f, -1.5f, 0.6f, 0.3f, 0.2f};
    const PoleZeroParams pzParams{0.9f, 2, sections};
    expectNullOnEveryFailure<Filter>([&] { return backend.createPoleZeroCascade(&pzParams); });

    const PolePair pairs[] = {{1000.0f, 0.9f}, {3000.0f, 0.8f}};
    const PoleParams poleParams{44100, -0.01f, 2, pairs};
    expectNullOnEveryFailure<Filter>([&] { return backend.createPoleCascade(&poleParams); });
}

}  // namespace
}  // namespace ve32
