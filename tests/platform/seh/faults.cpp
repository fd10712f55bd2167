#include "faults.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace faults {

namespace {

volatile char sink;

// Made once and kept: a fault abandons the code that would have released them.
void* protectedPage() {
    static void* page = [] {
        void* mapped = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) std::abort();
        return mapped;
    }();
    return page;
}

// Two pages mapped over a file of one page: the second lies beyond the end of the file.
volatile char* shortFileMapping() {
    static volatile char* mapping = [] {
        FILE* file = std::tmpfile();
        if (file == nullptr || ftruncate(fileno(file), 4096) != 0) std::abort();
        void* mapped = mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fileno(file), 0);
        if (mapped == MAP_FAILED) std::abort();
        return static_cast<volatile char*>(mapped);
    }();
    return mapping;
}

}  // namespace

void writeToProtectedPage() {
    *static_cast<volatile int*>(protectedPage()) = 1;
}

void readPastEndOfMappedFile() {
    sink = shortFileMapping()[4096];
}

void divideByZeroWithTrapUnmasked() {
    feenableexcept(FE_DIVBYZERO);
    volatile double numerator = 1.0;
    volatile double denominator = 0.0;
    volatile double quotient = numerator / denominator;
    (void)quotient;
}

void integerDivideByZero() {
    // In assembly, so the compiler's own checks do not see the division.
    int dividend = 7;
    int divisor = 0;
    asm volatile("cltd\n\tidivl %1" : "+a"(dividend) : "r"(divisor) : "edx", "cc");
}

void illegalInstruction() {
    asm volatile("ud2");
}

// Deeper than any stack: the depth limit only keeps the compiler from calling it endless.
__attribute__((noinline)) int recurse(volatile char* previous, unsigned long depth) {
    volatile char frame[4096];
    frame[0] = previous != nullptr ? previous[0] : 1;
    if (depth == 0) return frame[0];
    return recurse(frame, depth - 1) + frame[100];
}

void overflowStack() {
    sink = static_cast<char>(recurse(nullptr, 1ul << 40));
}

void throwCppException() {
    throw std::runtime_error("thrown inside the guarded call");
}

}  // namespace faults
