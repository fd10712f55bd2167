#include "dsp/frame/cpu_detection.h"

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace ve32 {

#if defined(__i386__) || defined(__x86_64__)

int cpuHasCpuid() {
    // Try to flip the ID bit of the flags register; a processor that supports CPUID keeps it.
    // The original flags are restored afterwards, so the bit is cleared again.
    constexpr uintptr_t idBit = 0x200000;
    uintptr_t original = 0;
    uintptr_t readBack = 0;
#if defined(__x86_64__)
    __asm__ volatile(
        "pushfq\n\t"
        "popq %0\n\t"
        "movq %0, %1\n\t"
        "orq %2, %1\n\t"
        "pushq %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "popq %1\n\t"
        "pushq %0\n\t"
        "popfq\n\t"
        : "=&r"(original), "=&r"(readBack)
        : "r"(idBit)
        : "cc");
#else
    __asm__ volatile(
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "orl %2, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "pushl %0\n\t"
        "popfl\n\t"
        : "=&r"(original), "=&r"(readBack)
        : "r"(idBit)
        : "cc");
#endif
    return (readBack & idBit) != 0 ? 1 : 0;
}

int cpuHasMmx() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);  // the vendor leaf first, as the processor manuals ask
    __cpuid(1, eax, ebx, ecx, edx);
    return (edx & (1u << 23)) != 0 ? 1 : 0;
}

#else

// Processors outside the x86 family have neither instruction.
int cpuHasCpuid() {
    return 0;
}
int cpuHasMmx() {
    return 0;
}

#endif

}  // namespace ve32
