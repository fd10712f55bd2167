#include "dsp/components/fpu/fpu_channel_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/dsp/components/fpu/fpu_test_support.h"

namespace ve32 {
namespace {

using test::fillBlock;
using test::makeBuffer;
using test::storageOf;

TEST(FpuChannelBufferMix, FirstMixStoresLaterMixesAdd) {
    auto buffer = makeBuffer(16);
    const int16_t samples[] = {100, 200};
    buffer->mix16(samples, 0.5f, 0.0f, 2, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 2), (std::vector<float>{50.0f, 100.0f}));
    buffer->mix16(samples, 1.0f, 0.0f, 2, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 2), (std::vector<float>{150.0f, 300.0f}));
    EXPECT_EQ(buffer->written, 2);
}

TEST(FpuChannelBufferMix, OffsetZeroFillsTheGapBeforeIt) {
    auto buffer = makeBuffer(16);
    const int16_t samples[] = {1, 2, 3};
    buffer->mix16(samples, 1.0f, 0.0f, 3, 5);
    EXPECT_EQ(storageOf(*buffer, 0, 9), (std::vector<float>{0, 0, 0, 0, 0, 1, 2, 3, 9999.0f}));
    EXPECT_EQ(buffer->written, 8);
}

struct RampCase {
    const char* name;
    std::vector<float> before;  // block content already written
    std::vector<int16_t> input;
    float gain;
    float gainStep;
    std::vector<float> expected;
};

// One gain per group of four, the leftover samples stepping one at a time; a store pass that
// follows an add pass restarts the grouping at gain + added * step.
TEST(FpuChannelBufferMix, GainStepsOncePerGroupOfFour) {
    const std::vector<RampCase> cases = {
        {"six stored samples",
         {},
         {1000, 1000, 1000, 1000, 1000, 1000},
         1.0f,
         0.1f,
         {1000, 1000, 1000, 1000, 1400, 1500}},
        {"add three, then store five",
         {10, 10, 10},
         {100, 100, 100, 100, 100, 100, 100, 100},
         1.0f,
         0.5f,
         {110, 160, 210, 250, 250, 250, 250, 450}},
        {"add four, then store four",
         {10, 10, 10, 10},
         {100, 100, 100, 100, 100, 100, 100, 100},
         1.0f,
         0.5f,
         {110, 110, 110, 110, 300, 300, 300, 300}},
        {"falling gain",
         {},
         {1000, 1000, 1000, 1000, 1000},
         1.0f,
         -0.25f,
         {1000, 1000, 1000, 1000, 0}},
    };
    for (const RampCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto buffer = makeBuffer(16);
        fillBlock(*buffer, c.before);
        buffer->mix16(c.input.data(), c.gain, c.gainStep, static_cast<int32_t>(c.input.size()), 0);
        EXPECT_EQ(storageOf(*buffer, 0, static_cast<int32_t>(c.expected.size())), c.expected);
        EXPECT_EQ(buffer->written, static_cast<int32_t>(c.input.size()));
    }
}

TEST(FpuChannelBufferMix, EightBitInputUsesTheSharedScale) {
    auto buffer = makeBuffer(8);
    const uint8_t bytes[] = {0, 128, 255, 129};
    buffer->mix8(bytes, 1.0f, 0.0f, 4, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 4), (std::vector<float>{-32768.0f, 0.0f, 32512.0f, 256.0f}));
}

TEST(FpuChannelBufferMix, InputScaleMultipliesGainAndStep) {
    auto buffer = makeBuffer(8);
    buffer->inputScale = 2.0f;
    const int16_t samples[] = {10, 10, 10, 10, 10};
    buffer->mix16(samples, 0.5f, 0.25f, 5, 0);
    // Gain 1.0 for the group of four, then 1.0 + 4 * 0.5 for the last sample.
    EXPECT_EQ(storageOf(*buffer, 0, 5), (std::vector<float>{10, 10, 10, 10, 30}));
}

TEST(FpuChannelBufferMix, MixesIntoTheBlockAfterTheHistory) {
    auto buffer = makeBuffer(8);
    buffer->setDelay(2);
    const int16_t samples[] = {7, 8};
    buffer->mix16(samples, 1.0f, 0.0f, 2, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 4), (std::vector<float>{0, 0, 7, 8}));
}

TEST(FpuChannelBufferMix, NegativeCountOrOffsetMixesNothing) {
    auto buffer = makeBuffer(8);
    const int16_t samples[] = {1, 2, 3};
    buffer->mix16(samples, 1.0f, 0.0f, -3, 0);
    buffer->mix16(samples, 1.0f, 0.0f, 3, -2);
    EXPECT_EQ(buffer->written, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 8), std::vector<float>(8, 9999.0f));
}

struct ConversionCase {
    float value;
    int16_t pcm16;
    uint8_t stereoByte;  // rounds to the nearest 8-bit level
    uint8_t monoByte;    // truncates toward minus infinity
};

TEST(FpuChannelBufferWrite, ConvertsRoundsAndSaturates) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    const std::vector<ConversionCase> cases = {
        {0.0f, 0, 128, 128},
        {2.5f, 2, 128, 128},
        {3.5f, 4, 128, 128},
        {-2.5f, -2, 128, 127},
        {127.9f, 128, 129, 128},
        {127.0f, 127, 128, 128},
        {-1.0f, -1, 128, 127},
        {-128.5f, -128, 128, 127},
        {-129.0f, -129, 127, 127},
        {32383.0f, 32383, 254, 254},
        {32767.0f, 32767, 255, 255},
        {-32768.0f, -32768, 0, 0},
        {40000.0f, 32767, 255, 255},
        {-40000.0f, -32768, 0, 0},
        {3.0e38f, 32767, 255, 255},
        {-3.0e38f, -32768, 0, 0},
        {inf, 32767, 255, 255},
        {-inf, -32768, 0, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0, 128, 128},
        {-std::numeric_limits<float>::quiet_NaN(), 0, 128, 128},
    };
    const int32_t count = static_cast<int32_t>(cases.size());
    auto left = makeBuffer(count);
    auto right = makeBuffer(count);
    for (int32_t i = 0; i < count; ++i) {
        left->storage[i] = cases[i].value;
        right->storage[i] = -32768.0f;
    }
    left->written = count;
    right->written = count;

    std::vector<int16_t> mono16(count);
    std::vector<uint8_t> mono8(count);
    std::vector<int16_t> stereo16(2 * count);
    std::vector<uint8_t> stereo8(2 * count);
    left->writeMono16(mono16.data(), count);
    left->writeMono8(mono8.data(), count);
    left->writeStereo16(right.get(), stereo16.data(), count);
    left->writeStereo8(right.get(), stereo8.data(), count);
    for (int32_t i = 0; i < count; ++i) {
        SCOPED_TRACE(testing::Message() << "value " << cases[i].value);
        EXPECT_EQ(mono16[i], cases[i].pcm16);
        EXPECT_EQ(mono8[i], cases[i].monoByte);
        EXPECT_EQ(stereo16[2 * i], cases[i].pcm16);
        EXPECT_EQ(stereo16[2 * i + 1], -32768);
        EXPECT_EQ(stereo8[2 * i], cases[i].stereoByte);
        EXPECT_EQ(stereo8[2 * i + 1], 0);
    }
}

TEST(FpuChannelBufferWrite, UnwrittenBlockOutputsSilence) {
    const int32_t count = 6;
    auto left = makeBuffer(count);
    auto right = makeBuffer(count);
    std::vector<int16_t> stereo16(2 * count, 77);
    left->writeStereo16(right.get(), stereo16.data(), count);
    EXPECT_EQ(stereo16, std::vector<int16_t>(2 * count, 0));
    EXPECT_EQ(left->written, count);
    EXPECT_EQ(right->written, count);

    auto mono = makeBuffer(count);
    std::vector<uint8_t> mono8(count, 7);
    mono->writeMono8(mono8.data(), count);
    EXPECT_EQ(mono8, std::vector<uint8_t>(count, 128));
    EXPECT_EQ(mono->written, count);
}

TEST(FpuChannelBufferWrite, PartlyWrittenRightChannelIsCompletedWithSilence) {
    auto left = makeBuffer(4);
    auto right = makeBuffer(4);
    fillBlock(*left, {1, 2, 3, 4});
    fillBlock(*right, {5, 6});
    std::vector<uint8_t> bytes(8);
    std::vector<int16_t> words(8);
    left->writeStereo16(right.get(), words.data(), 4);
    EXPECT_EQ(words, (std::vector<int16_t>{1, 5, 2, 6, 3, 0, 4, 0}));
}

TEST(FpuChannelBufferDelay, OutputsTheBlockDelayed) {
    auto buffer = makeBuffer(4 + 3);
    buffer->setDelay(3);
    std::vector<int16_t> out(4);
    const int16_t first[] = {1, 2, 3, 4};
    const int16_t second[] = {5, 6, 7, 8};
    buffer->mix16(first, 1.0f, 0.0f, 4, 0);
    buffer->writeMono16(out.data(), 4);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 0, 0, 1}));
    buffer->advance(4);
    buffer->mix16(second, 1.0f, 0.0f, 4, 0);
    buffer->writeMono16(out.data(), 4);
    EXPECT_EQ(out, (std::vector<int16_t>{2, 3, 4, 5}));
    EXPECT_EQ(buffer->written, 4);
    buffer->advance(4);
    EXPECT_EQ(buffer->written, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 3), (std::vector<float>{6, 7, 8}));
}

TEST(FpuChannelBufferDelay, ImpulseComesOutAfterTheDelay) {
    auto buffer = makeBuffer(64 + 22);
    buffer->setDelay(22);
    const int16_t impulse[] = {1000};
    buffer->mix16(impulse, 1.0f, 0.0f, 1, 0);
    std::vector<int16_t> out(64);
    buffer->writeMono16(out.data(), 64);
    std::vector<int16_t> expected(64, 0);
    expected[22] = 1000;
    EXPECT_EQ(out, expected);
}

TEST(FpuChannelBufferDelay, AdvanceKeepsHistoryOnlyForAFullyWrittenBlock) {
    auto unwritten = makeBuffer(4 + 3);
    unwritten->setDelay(3);
    fillBlock(*unwritten, {});
    for (int32_t i = 0; i < 7; ++i) unwritten->storage[i] = 5.0f;
    unwritten->advance(4);
    EXPECT_EQ(storageOf(*unwritten, 0, 3), std::vector<float>(3, 0.0f));

    auto partly = makeBuffer(4 + 3);
    partly->setDelay(3);
    fillBlock(*partly, {1, 2});
    partly->advance(4);
    EXPECT_EQ(storageOf(*partly, 0, 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(partly->written, 0);

    // Overlapping move: a block shorter than the history.
    auto shortBlock = makeBuffer(2 + 5);
    shortBlock->setDelay(5);
    for (int32_t i = 0; i < 7; ++i) shortBlock->storage[i] = static_cast<float>(10 + i);
    shortBlock->written = 2;
    shortBlock->advance(2);
    EXPECT_EQ(storageOf(*shortBlock, 0, 5), (std::vector<float>{12, 13, 14, 15, 16}));
}

TEST(FpuChannelBufferDelay, SetDelayAndClearHistoryLeaveTheBlockAlone) {
    auto buffer = makeBuffer(8, 3.0f);
    buffer->written = 2;
    buffer->setDelay(3);
    EXPECT_EQ(storageOf(*buffer, 0, 4), (std::vector<float>{0, 0, 0, 3}));
    EXPECT_EQ(buffer->written, 2);
    buffer->storage[1] = 4.0f;
    buffer->clearHistory();
    EXPECT_EQ(storageOf(*buffer, 0, 4), (std::vector<float>{0, 0, 0, 3}));
    buffer->setDelay(-4);
    EXPECT_EQ(buffer->delay, 0);
}

TEST(FpuChannelBufferQuiet, ThresholdIsOneStepOfHistoryMagnitude) {
    struct Case {
        std::vector<float> history;
        int32_t quiet;
    };
    const std::vector<Case> cases = {
        {{}, 1},
        {{0.5f, -0.25f, 0.25f}, 1},
        {{0.5f, -0.5f, 0.5f}, 0},
        {{0.0f, 0.0f, 1.0001f}, 0},
        {{std::numeric_limits<float>::quiet_NaN(), 5.0f}, 1},
    };
    for (const Case& c : cases) {
        auto buffer = makeBuffer(8);
        buffer->setDelay(static_cast<int32_t>(c.history.size()));
        for (std::size_t i = 0; i < c.history.size(); ++i) buffer->storage[i] = c.history[i];
        fillBlock(*buffer, {1000.0f});  // the block does not count
        EXPECT_EQ(buffer->isQuiet(), c.quiet) << "history size " << c.history.size();
    }
}

TEST(FpuChannelBufferMixBuffer, AddsOverTheCommonPartAndCopiesTheRest) {
    // This buffer: delay 1, 3 written (valid end 4); the other: delay 0, 6 written (valid end 6).
    auto target = makeBuffer(10);
    target->setDelay(1);
    target->storage[0] = 1.0f;
    fillBlock(*target, {2, 3, 4});
    auto other = makeBuffer(10);
    fillBlock(*other, {10, 20, 30, 40, 50, 60});

    target->mixBuffer(other.get(), 8);
    EXPECT_EQ(storageOf(*target, 0, 7), (std::vector<float>{11, 22, 33, 44, 50, 60, 9999.0f}));
    EXPECT_EQ(target->written, 5);

    auto scaled = makeBuffer(10);
    scaled->setDelay(1);
    scaled->storage[0] = 1.0f;
    fillBlock(*scaled, {2, 3, 4});
    scaled->mixBufferScaled(other.get(), 0.5f, 8);
    EXPECT_EQ(storageOf(*scaled, 0, 6), (std::vector<float>{6, 12, 18, 24, 25, 30}));
    EXPECT_EQ(scaled->written, 5);

    // The other buffer ends first: nothing is copied and `written` stays.
    auto longer = makeBuffer(10);
    fillBlock(*longer, {1, 1, 1, 1, 1, 1, 1});
    longer->mixBuffer(other.get(), 4);
    EXPECT_EQ(storageOf(*longer, 0, 5), (std::vector<float>{11, 21, 31, 41, 1}));
    EXPECT_EQ(longer->written, 7);
}

TEST(FpuChannelBufferScale, ScalesOnlyTheValidPart) {
    auto buffer = makeBuffer(8);
    buffer->setDelay(1);
    buffer->storage[0] = 2.0f;
    fillBlock(*buffer, {4, 6});
    buffer->scale(-0.5f, 8);
    EXPECT_EQ(storageOf(*buffer, 0, 4), (std::vector<float>{-1, -2, -3, 9999.0f}));
    buffer->scale(2.0f, 1);
    EXPECT_EQ(storageOf(*buffer, 0, 3), (std::vector<float>{-2, -2, -3}));
    EXPECT_EQ(buffer->written, 2);
}

}  // namespace
}  // namespace ve32
