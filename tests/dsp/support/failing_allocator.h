#pragma once
// Replaces the global allocator of a test executable so that a chosen allocation fails. Link
// failing_allocator.cpp into a test binary of its own: it changes operator new for everything in
// that binary. Allocations go through malloc, so the address sanitizer still tracks them.

namespace ve32::testing {

// The allocation with this index (0 = the next one) fails; a negative value disarms.
void failAllocationAfter(long allocations);
// Allocations made since the last arming.
long allocationsSinceArmed();

}  // namespace ve32::testing
