#pragma once
// Engines that belong to neither thread for a moment: one the worker has opened and not yet
// handed to the audio thread, or one the audio thread has retired and the worker has not yet
// closed. Each lives in a slot; a slot's owner changes with one atomic exchange, so neither side
// waits for the other, and whatever is still parked when the instance goes away is closed then.

#include <atomic>
#include <cstdint>

namespace ve::lv2 {

class EngineParking {
  public:
    static constexpr int32_t kSlots = 4;

    EngineParking() {
        for (auto& slot : slots_) slot.store(nullptr, std::memory_order_relaxed);
    }

    // Parks an engine in a free slot; returns its index, or -1 when every slot is taken.
    int32_t park(void* engine) {
        for (int32_t i = 0; i < kSlots; ++i) {
            void* expected = nullptr;
            if (slots_[i].compare_exchange_strong(expected, engine, std::memory_order_acq_rel)) {
                return i;
            }
        }
        return -1;
    }

    // Takes the engine out of a slot, leaving `replacement` there (null frees the slot). Returns
    // null for an index out of range.
    void* exchange(int32_t slot, void* replacement) {
        if (slot < 0 || slot >= kSlots) return nullptr;
        return slots_[slot].exchange(replacement, std::memory_order_acq_rel);
    }

    // Calls close(engine) for every parked engine and frees the slots. Only when no other thread
    // can touch the slots (instance cleanup).
    template <class Close>
    void closeAll(Close close) {
        for (auto& slot : slots_) {
            if (void* engine = slot.exchange(nullptr, std::memory_order_acq_rel)) close(engine);
        }
    }

  private:
    std::atomic<void*> slots_[kSlots];
};

}  // namespace ve::lv2
