#pragma once
// Processor detection for the automatic back-end choice. Asked afresh on every open; nothing is
// cached.

namespace ve32 {

// 1 when the processor lets the flags register's ID bit (bit 21) be set, i.e. supports CPUID.
int cpuHasCpuid();
// 1 when CPUID leaf 1 reports MMX (EDX bit 23). Only meaningful when cpuHasCpuid() is 1.
int cpuHasMmx();

}  // namespace ve32
