#pragma once
// Fields of records whose layout is fixed at 32 bits per field, as the original platform lays them
// out (NOTIFYICONDATAA is 88 bytes, STARTUPINFOA 68), while this host has 64-bit pointers.

#include <cstddef>
#include <cstdint>

// A handle field. Handles of this layer are small numbers, as window and kernel handles are on the
// original platform (which keeps them within 32 bits so that 32-bit and 64-bit programs can share
// them), so every handle the layer gives out fits. A value that does not fit is stored as all ones,
// which no handle of the layer uses, so that the receiving call reports an invalid handle instead
// of acting on a truncated one.
template <class Handle>
struct Slot32 {
    uint32_t bits;

    Slot32() = default;
    Slot32(Handle value) : bits(narrow(reinterpret_cast<uintptr_t>(value))) {}
    Slot32(std::nullptr_t) : bits(0) {}
    operator Handle() const { return reinterpret_cast<Handle>(static_cast<uintptr_t>(bits)); }

  private:
    static uint32_t narrow(uintptr_t value) {
        return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(value);
    }
};

// A pointer field that this layer does not support: it can only be left null, which the compiler
// enforces, so a caller cannot hand the layer an address it would have to drop.
struct NullSlot32 {
    uint32_t bits;

    NullSlot32() = default;
    NullSlot32(std::nullptr_t) : bits(0) {}
    bool isNull() const { return bits == 0; }
};
