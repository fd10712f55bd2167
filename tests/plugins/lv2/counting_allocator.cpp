#include "tests/plugins/lv2/counting_allocator.h"

#include <cstddef>

namespace ve::lv2::testing {
namespace {

thread_local bool armed = false;
thread_local long allocations = 0;
thread_local long releases = 0;

void noteAllocation() {
    if (armed) ++allocations;
}
void noteRelease(const volatile void* pointer) {
    if (armed && pointer != nullptr) ++releases;
}

}  // namespace

void armAllocationCounter() {
    armed = true;
}
void disarmAllocationCounter() {
    armed = false;
}
long countedAllocations() {
    return allocations;
}
long countedReleases() {
    return releases;
}

}  // namespace ve::lv2::testing

#if defined(__SANITIZE_ADDRESS__)

// The sanitizer owns malloc; it reports every allocation and release to these hooks. (GCC does
// not ship the header that declares the installer, so it is declared here.)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void mallocHook(const volatile void*, std::size_t) {
    ve::lv2::testing::noteAllocation();
}
void freeHook(const volatile void* pointer) {
    ve::lv2::testing::noteRelease(pointer);
}
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook);
}  // namespace

#else

// glibc lets a program replace malloc; the replacements count and forward to glibc's own
// allocator, so memory from either side may be released by the other.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);
void __libc_free(void* pointer);

void* malloc(std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
    ve::lv2::testing::noteAllocation();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return 12;  // ENOMEM
    *result = pointer;
    return 0;
}
void* valloc(std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_valloc(size);
}
void* pvalloc(std::size_t size) {
    ve::lv2::testing::noteAllocation();
    return __libc_pvalloc(size);
}
void free(void* pointer) {
    ve::lv2::testing::noteRelease(pointer);
    __libc_free(pointer);
}
}  // extern "C"

#endif
