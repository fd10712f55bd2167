#include "platform/thunk/stack16.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Stack16, LaysArgumentsOutAsA16BitCallerPushesThem) {
    Stack16 stack;
    stack.pushDword(0x11223344);  // first argument
    stack.pushShort(-2);
    stack.pushFar(0xABCD1234);
    stack.pushWord(0xBEEF);  // last argument
    ASSERT_EQ(stack.depth(), 12u);

    const ArgFrame16 frame = stack.frame();
    const BYTE expectedBytes[] = {0xEF, 0xBE, 0x34, 0x12, 0xCD, 0xAB,
                                  0xFE, 0xFF, 0x44, 0x33, 0x22, 0x11};
    for (size_t i = 0; i < sizeof expectedBytes; i += 2) {
        EXPECT_EQ(frame.word(i) & 0xFF, expectedBytes[i]) << i;
        EXPECT_EQ(frame.word(i) >> 8, expectedBytes[i + 1]) << i + 1;
    }
    EXPECT_EQ(frame.word(0), 0xBEEF);
    EXPECT_EQ(frame.farPointer(2), 0xABCD1234u);
    EXPECT_EQ(frame.word(6), 0xFFFE);
    EXPECT_EQ(frame.dword(8), 0x11223344u);
    EXPECT_FALSE(frame.overrun());
}

TEST(Stack16, ReadsBeyondThePushedArgumentsYieldZeroAndMarkTheFrame) {
    Stack16 stack;
    stack.pushDword(0xFFFFFFFF);
    const ArgFrame16 frame = stack.frame();
    EXPECT_EQ(frame.dword(0), 0xFFFFFFFFu);
    EXPECT_FALSE(frame.overrun());
    EXPECT_EQ(frame.dword(2), 0u);
    EXPECT_TRUE(frame.overrun());
    const ArgFrame16 again = stack.frame();
    EXPECT_EQ(again.word(4), 0u);
    EXPECT_TRUE(again.overrun());
}

TEST(Stack16, PopsOnlyWhatWasPushedAndOverflowsAtTheSegmentsEnd) {
    Stack16 stack;
    stack.pushWord(1);
    stack.pushWord(2);
    EXPECT_FALSE(stack.pop(6));
    EXPECT_EQ(stack.depth(), 4u);
    EXPECT_TRUE(stack.pop(2));
    EXPECT_EQ(stack.frame().word(0), 1);

    Stack16 full;
    for (size_t i = 0; i < Stack16::segmentSize / 4; ++i) full.pushDword(0);
    EXPECT_THROW(full.pushWord(0), std::overflow_error);
    EXPECT_EQ(full.depth(), Stack16::segmentSize);
}

}  // namespace
