#pragma once
// Small RAII wrappers over the C handles, for tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ve32.h"

namespace ve32::testing {

struct Expander {
    void* handle = nullptr;
    Expander(int rate, unsigned flags) { EXPECT_EQ(veOpen(&handle, rate, flags), VE32_OK); }
    ~Expander() { veClose(handle); }
    Expander(const Expander&) = delete;
    Expander& operator=(const Expander&) = delete;

    std::vector<int16_t> run16(const std::vector<int16_t>& in) {
        std::vector<int16_t> out(in.size());
        veProcess16(handle, in.data(), out.data(), unsigned(in.size() / 2));
        return out;
    }
    std::vector<uint8_t> run8(const std::vector<uint8_t>& in) {
        std::vector<uint8_t> out(in.size());
        veProcess8(handle, in.data(), out.data(), unsigned(in.size() / 2));
        return out;
    }
    // Processes `in` in consecutive calls of the given frame counts (cycled until the end).
    std::vector<int16_t> run16Split(const std::vector<int16_t>& in,
                                    const std::vector<unsigned>& sizes) {
        std::vector<int16_t> out(in.size());
        std::size_t frame = 0, total = in.size() / 2;
        for (std::size_t k = 0; frame < total; ++k) {
            const unsigned n =
                unsigned(std::min<std::size_t>(sizes[k % sizes.size()], total - frame));
            veProcess16(handle, in.data() + 2 * frame, out.data() + 2 * frame, n);
            frame += n;
        }
        return out;
    }
};

struct MonoToStereoHandle {
    void* handle = nullptr;
    MonoToStereoHandle(int rate, unsigned flags) {
        EXPECT_EQ(m2sOpen(&handle, rate, flags), VE32_OK);
    }
    ~MonoToStereoHandle() { m2sClose(handle); }
    MonoToStereoHandle(const MonoToStereoHandle&) = delete;
    MonoToStereoHandle& operator=(const MonoToStereoHandle&) = delete;

    std::vector<int16_t> run16(const std::vector<int16_t>& in) {
        std::vector<int16_t> out(2 * in.size());
        m2sProcess16(handle, in.data(), out.data(), unsigned(in.size()));
        return out;
    }
    std::vector<uint8_t> run8(const std::vector<uint8_t>& in) {
        std::vector<uint8_t> out(2 * in.size());
        m2sProcess8(handle, in.data(), out.data(), unsigned(in.size()));
        return out;
    }
};

inline int maxAbsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    }
    return worst;
}

constexpr int kAllRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

}  // namespace ve32::testing
