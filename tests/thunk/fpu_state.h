#pragma once
// What a test needs to know about the calling thread's floating-point state after a fault.

#include <cfenv>

struct FpuState {
    int rounding;
    int enabledTraps;
    bool x87Usable;  // an x87 calculation gives the right answer (no registers left in use)
};

inline FpuState currentFpuState() {
    volatile long double a = 1.5L;
    volatile long double b = 2.0L;
    const long double product = a * b;
    return {std::fegetround(), fegetexcept(), product == 3.0L};
}

// Puts the thread back to a fresh state, whatever a fault left.
inline void restoreFpuState() {
    asm volatile("emms");
    std::fesetenv(FE_DFL_ENV);
}
