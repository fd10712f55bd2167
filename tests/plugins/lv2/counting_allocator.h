#pragma once
// Counts heap operations made by one thread while it is armed: a real-time thread must neither
// allocate nor release memory. Every allocation of the test process goes through the counter
// (malloc and friends are replaced; under the address sanitizer its allocator hooks are used), so
// allocations inside the plugin binary and inside the C++ runtime are seen as well.

namespace ve::lv2::testing {

// Starts counting on the calling thread (other threads are never counted).
void armAllocationCounter();
void disarmAllocationCounter();
// Allocations and releases counted on this thread since the process started.
long countedAllocations();
long countedReleases();

}  // namespace ve::lv2::testing
