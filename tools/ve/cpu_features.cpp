#include "cpu_features.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace ve_cli {

CpuFeatures readCpuFeatures() {
    CpuFeatures cpu;
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid_max checks the flags-register ID bit first, so it also works on processors
    // without CPUID.
    unsigned maxLeaf = __get_cpuid_max(0, nullptr);
    if (maxLeaf == 0) return cpu;
    cpu.hasCpuid = true;

    __cpuid(0, eax, ebx, ecx, edx);
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    cpu.vendor = vendor;

    if (maxLeaf >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        cpu.mmx = (edx & (1u << 23)) != 0;
        cpu.sse2 = (edx & (1u << 26)) != 0;
    }
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        cpu.avx2 = (ebx & (1u << 5)) != 0;
    }
    if (__get_cpuid_max(0x80000000, nullptr) >= 0x80000004) {
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __cpuid(0x80000002 + leaf, eax, ebx, ecx, edx);
            std::memcpy(brand + 16 * leaf, &eax, 4);
            std::memcpy(brand + 16 * leaf + 4, &ebx, 4);
            std::memcpy(brand + 16 * leaf + 8, &ecx, 4);
            std::memcpy(brand + 16 * leaf + 12, &edx, 4);
        }
        std::string name = brand;
        size_t first = name.find_first_not_of(' ');
        size_t last = name.find_last_not_of(' ');
        cpu.brand = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    }
#endif
    return cpu;
}

}  // namespace ve_cli
