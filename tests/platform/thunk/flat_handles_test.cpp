#include "platform/thunk/flat_handles.h"

#include <gtest/gtest.h>

namespace {

TEST(FlatHandles, StandForTheirAddressUntilReleased) {
    int first = 0, second = 0;
    EXPECT_EQ(FlatHandleFromPointer(nullptr), 0u);
    EXPECT_EQ(PointerFromFlatHandle(0), nullptr);

    const DWORD a = FlatHandleFromPointer(&first);
    const DWORD b = FlatHandleFromPointer(&second);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(FlatHandleFromPointer(&first), a);
    EXPECT_EQ(PointerFromFlatHandle(a), &first);
    EXPECT_EQ(PointerFromFlatHandle(b), &second);

    ReleaseFlatHandle(a);
    EXPECT_EQ(PointerFromFlatHandle(a), nullptr);
    const DWORD again = FlatHandleFromPointer(&first);
    EXPECT_NE(again, a) << "a released handle is not handed out again at once";
    EXPECT_EQ(PointerFromFlatHandle(again), &first);
    ReleaseFlatHandle(again);
    ReleaseFlatHandle(b);
    ReleaseFlatHandle(b);
    EXPECT_EQ(PointerFromFlatHandle(0xDEADBEEF), nullptr);
}

}  // namespace
