#include "platform/thunk/selectors.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

WORD selectorOf(SEGPTR pointer) {
    return static_cast<WORD>(pointer >> 16);
}

TEST(Selectors, TranslateSelectorAndOffsetToTheFlatAddress) {
    std::array<BYTE, 0x20000> memory{};
    const SEGPTR base = MapLS(memory.data());
    ASSERT_NE(base, 0u);
    EXPECT_EQ(base & 0xFFFF, 0u);
    EXPECT_EQ(selectorOf(base) & 7, 7) << "a local, privilege-3 selector";
    for (DWORD offset : {0x0000u, 0x0001u, 0x1234u, 0xFFFFu})
        EXPECT_EQ(MapSL(base + offset), memory.data() + offset) << offset;
    UnMapLS(base);
}

TEST(Selectors, GiveEachMappingItsOwnSelector) {
    BYTE memory = 0;
    std::set<WORD> selectors;
    std::array<SEGPTR, 16> pointers{};
    for (SEGPTR& pointer : pointers) {
        pointer = MapLS(&memory);
        selectors.insert(selectorOf(pointer));
    }
    EXPECT_EQ(selectors.size(), pointers.size());
    for (SEGPTR pointer : pointers) UnMapLS(pointer);
}

TEST(Selectors, TranslateNothingForNullUnknownOrFreedSelectors) {
    BYTE memory[16] = {};
    EXPECT_EQ(MapLS(nullptr), 0u);
    EXPECT_EQ(MapSL(0), nullptr);
    EXPECT_EQ(MapSLFix(0), nullptr);
    const SEGPTR pointer = MapLS(memory);
    UnMapLS(pointer);
    EXPECT_EQ(MapSL(pointer), nullptr);
    EXPECT_EQ(MapSLFix(pointer + 4), nullptr);
    EXPECT_EQ(MapSL(0x00100000u), nullptr) << "not a local privilege-3 selector";
    EXPECT_EQ(MapSL(0xFFFF0000u), nullptr) << "beyond the descriptor table";
}

TEST(Selectors, CountFixesUntilTheyAreReleased) {
    BYTE input[8] = {}, output[8] = {};
    const SEGPTR in = MapLS(input);
    const SEGPTR out = MapLS(output);
    EXPECT_EQ(MapSLFix(in + 2), input + 2);
    EXPECT_EQ(MapSLFix(out), output);
    EXPECT_EQ(MapSLFix(in), input);
    EXPECT_EQ(SelectorFixCount(selectorOf(in)), 2u);
    EXPECT_EQ(SelectorFixCount(selectorOf(out)), 1u);
    EXPECT_EQ(MapSL(in), input);
    EXPECT_EQ(SelectorFixCount(selectorOf(in)), 2u) << "MapSL does not fix";

    const SEGPTR list[] = {out, in + 2, 0};
    UnMapSLFixArray(3, list);
    EXPECT_EQ(SelectorFixCount(selectorOf(in)), 1u);
    EXPECT_EQ(SelectorFixCount(selectorOf(out)), 0u);
    UnMapSLFixArray(3, list);  // more releases than fixes: the count stays at zero
    EXPECT_EQ(SelectorFixCount(selectorOf(in)), 0u);
    EXPECT_EQ(SelectorFixCount(selectorOf(out)), 0u);
    UnMapSLFixArray(1, nullptr);
    UnMapLS(in);
    UnMapLS(out);
    EXPECT_EQ(SelectorFixCount(selectorOf(in)), 0u);
}

}  // namespace
