#pragma once
// Small helpers shared by the floating-point component tests.

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "dsp/components/fpu/fpu_channel_buffer.h"

namespace ve32::test {

// A buffer whose whole storage first holds `stale`, standing for data left from earlier blocks.
inline std::unique_ptr<FpuChannelBuffer> makeBuffer(int32_t capacity, float stale = 9999.0f) {
    auto buffer = std::make_unique<FpuChannelBuffer>(capacity);
    for (int32_t i = 0; i < capacity; ++i) {
        buffer->storage[i] = stale;
    }
    return buffer;
}

// Writes a block into the buffer as a mix would: block positions [0, size), written = size.
inline void fillBlock(FpuChannelBuffer& buffer, const std::vector<float>& block) {
    for (std::size_t i = 0; i < block.size(); ++i) {
        buffer.storage[buffer.delay + static_cast<int32_t>(i)] = block[i];
    }
    buffer.written = static_cast<int32_t>(block.size());
}

inline std::vector<float> storageOf(const FpuChannelBuffer& buffer, int32_t from, int32_t to) {
    return std::vector<float>(buffer.storage + from, buffer.storage + to);
}

inline std::vector<float> randomSignal(std::size_t size, float amplitude, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-amplitude, amplitude);
    std::vector<float> signal(size);
    for (float& sample : signal) {
        sample = distribution(generator);
    }
    return signal;
}

}  // namespace ve32::test
