#include "tests/dsp/support/failing_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> remainingBeforeFailure{-1};
std::atomic<long> counted{0};
}  // namespace

namespace ve32::testing {
void failAllocationAfter(long allocations) {
    counted = 0;
    remainingBeforeFailure = allocations;
}
long allocationsSinceArmed() {
    return counted;
}
}  // namespace ve32::testing

void* operator new(std::size_t size) {
    ++counted;
    long remaining = remainingBeforeFailure.load();
    if (remaining == 0) {
        remainingBeforeFailure = -1;
        throw std::bad_alloc();
    }
    if (remaining > 0) remainingBeforeFailure = remaining - 1;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
// The nothrow forms must be replaced too: a sanitizer runtime supplies its own, which would not
// fail on request and would not pair with the deletes below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
