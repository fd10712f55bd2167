#include "dsp/mixing/block_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

namespace ve32 {
namespace {

TEST(BlockHelpers, SplitStereo) {
    const int16_t frames16[] = {1, 2, 3, 4};
    int16_t left16[2] = {}, right16[2] = {};
    splitStereo16(frames16, left16, right16, 2);
    EXPECT_EQ((std::array<int16_t, 2>{left16[0], left16[1]}), (std::array<int16_t, 2>{1, 3}));
    EXPECT_EQ((std::array<int16_t, 2>{right16[0], right16[1]}), (std::array<int16_t, 2>{2, 4}));

    const uint8_t frames8[] = {0x10, 0xF0, 0x80, 0x00};
    uint8_t left8[2] = {}, right8[2] = {};
    splitStereo8(frames8, left8, right8, 2);
    EXPECT_EQ(left8[0], 0x10);
    EXPECT_EQ(left8[1], 0x80);
    EXPECT_EQ(right8[0], 0xF0);
    EXPECT_EQ(right8[1], 0x00);
}

// Lengths around the vector step, extreme values, and a destination that must not be written past.
TEST(BlockHelpers, SplitStereoAllLengthsAndValues) {
    for (uint32_t frames : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 1023u, 1024u}) {
        std::vector<int16_t> src16(2 * frames + 1);
        std::vector<uint8_t> src8(2 * frames + 1);
        for (std::size_t i = 0; i < src16.size(); ++i) {
            src16[i] = int16_t(i % 3 == 0 ? -32768 : i % 3 == 1 ? 32767 : int(i * 2654435761u));
            src8[i] = uint8_t(i * 37 + (i % 5 == 0 ? 255 : 0));
        }
        std::vector<int16_t> left16(frames + 1, 99), right16(frames + 1, 99);
        std::vector<uint8_t> left8(frames + 1, 99), right8(frames + 1, 99);
        splitStereo16(src16.data() + 1, left16.data(), right16.data(), frames);  // misaligned
        splitStereo8(src8.data() + 1, left8.data(), right8.data(), frames);
        for (uint32_t i = 0; i < frames; ++i) {
            ASSERT_EQ(left16[i], src16[1 + 2 * i]) << frames;
            ASSERT_EQ(right16[i], src16[2 + 2 * i]) << frames;
            ASSERT_EQ(left8[i], src8[1 + 2 * i]) << frames;
            ASSERT_EQ(right8[i], src8[2 + 2 * i]) << frames;
        }
        EXPECT_EQ(left16[frames], 99);
        EXPECT_EQ(right16[frames], 99);
        EXPECT_EQ(left8[frames], 99);
        EXPECT_EQ(right8[frames], 99);
    }
}

TEST(BlockHelpers, FillAndClearStopAtCount) {
    std::array<uint8_t, 9> bytes{};
    fillSilence8(bytes.data(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(bytes[i], 0x80);
    EXPECT_EQ(bytes[7], 0);
    EXPECT_EQ(bytes[8], 0);

    std::array<int16_t, 5> samples{9, 9, 9, 9, 9};
    clearSamples16(samples.data(), 3);
    EXPECT_EQ(samples, (std::array<int16_t, 5>{0, 0, 0, 9, 9}));

    std::array<float, 3> floats{1, 2, 3};
    clearSamplesFloat(floats.data(), 2);
    EXPECT_EQ(floats, (std::array<float, 3>{0, 0, 3}));
}

TEST(BlockHelpers, CopiesAndFrameCopies) {
    std::vector<int16_t> src(11);
    std::iota(src.begin(), src.end(), 1);
    std::vector<int16_t> dst(12, 0);
    copyFrames16(src.data(), dst.data(), 2);  // 4 samples
    EXPECT_EQ(dst[3], 4);
    EXPECT_EQ(dst[4], 0);
    copySamples16(src.data(), dst.data(), 11);
    EXPECT_EQ(dst[10], 11);
    EXPECT_EQ(dst[11], 0);

    std::vector<uint8_t> bytes(7);
    std::iota(bytes.begin(), bytes.end(), 1);
    std::vector<uint8_t> out(8, 0);
    copyFrames8(bytes.data(), out.data(), 3);  // 6 bytes
    EXPECT_EQ(out[5], 6);
    EXPECT_EQ(out[6], 0);

    float f[3] = {1.5f, 2.5f, 3.5f}, g[3] = {};
    copySamplesFloat(f, g, 3);
    EXPECT_EQ(g[2], 3.5f);
}

TEST(BlockHelpers, OverlappingMovesInBothDirections) {
    for (int shift : {1, 3, 5}) {
        std::vector<int16_t> line(16);
        std::iota(line.begin(), line.end(), 0);
        moveSamples16(line.data() + shift, line.data(), 10);  // towards lower addresses
        for (int i = 0; i < 10; ++i) EXPECT_EQ(line[i], i + shift);

        std::vector<uint8_t> bytes(16);
        std::iota(bytes.begin(), bytes.end(), 0);
        moveSamples8(bytes.data(), bytes.data() + shift, 10);  // towards higher addresses
        for (int i = 0; i < 10; ++i) EXPECT_EQ(bytes[i + shift], i);
    }
    // Zero counts are no-ops even with null pointers.
    copySamples16(nullptr, nullptr, 0);
    moveSamples8(nullptr, nullptr, 0);
    fillSilence8(nullptr, 0);
}

}  // namespace
}  // namespace ve32
