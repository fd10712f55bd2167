#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "test_halves.h"

namespace {

using halves::Connected;

class Connection : public Connected {
  protected:
    bool dispatchWorks() {
        Stack16 stack;
        stack.pushDword(40);
        stack.pushShort(2);
        DWORD result = 0;
        return ThunkDispatch16To32(&record16_, halves::addEntry, &stack, &result) && result == 42;
    }
};

TEST_F(Connection, IsGrantedOnlyForMatchingRecordsAndNames) {
    struct Case {
        const char* name;
        std::function<void(ThunkData32&)> change;
        const char* module16;
        const char* module32;
        BOOL granted;
    };
    const Case cases[] = {
        {"matching", [](ThunkData32&) {}, halves::dll16, halves::dll32, TRUE},
        {"module names in other case", [](ThunkData32&) {}, "test16.dll", "Test32.Dll", TRUE},
        {"wrong protocol signature", [](ThunkData32& r) { std::memcpy(r.signature, "SL02", 4); },
         halves::dll16, halves::dll32, FALSE},
        {"wrong link signature", [](ThunkData32& r) { std::memcpy(r.linkSignature, "LB00", 4); },
         halves::dll16, halves::dll32, FALSE},
        {"other checksum", [](ThunkData32& r) { ++r.checksum; }, halves::dll16, halves::dll32,
         FALSE},
        {"no such 16-bit module", [](ThunkData32&) {}, "OTHER16.DLL", halves::dll32, FALSE},
        {"16-bit half expects another module", [](ThunkData32&) {}, halves::dll16, "OTHER32.DLL",
         FALSE},
    };
    for (const Case& c : cases) {
        ThunkData32 record = halves::record32();
        c.change(record);
        EXPECT_EQ(connect32(record, c.module16, c.module32), c.granted) << c.name;
        EXPECT_EQ(dispatchWorks(), static_cast<bool>(c.granted)) << c.name;
        ThunkConnect32(&record, halves::table.thunkData16Name, halves::dll16, halves::dll32,
                       nullptr, DLL_PROCESS_DETACH);
        EXPECT_FALSE(dispatchWorks()) << c.name << ": detach ends the connection";
    }
}

TEST_F(Connection, LeavesTheRecordsAsTheyWere) {
    const ThunkData32 before = record32_;
    ASSERT_TRUE(connect32(record32_));
    EXPECT_EQ(std::memcmp(&before, &record32_, sizeof before), 0);
}

TEST_F(Connection, BelongsToOne32BitHalf) {
    ASSERT_TRUE(connect32(record32_));
    EXPECT_TRUE(connect32(record32_)) << "asking again for the same connection";
    ThunkData32 other = halves::record32();
    EXPECT_FALSE(connect32(other));
    EXPECT_TRUE(dispatchWorks());
}

TEST_F(Connection, AnswersTrueForThreadNotifications) {
    ThunkData32 wrong = halves::record32();
    wrong.checksum = 0;
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH})
        EXPECT_TRUE(ThunkConnect32(&wrong, halves::table.thunkData16Name, halves::dll16,
                                   halves::dll32, nullptr, reason));
    EXPECT_FALSE(dispatchWorks());
}

TEST_F(Connection, EndsWhenThe16BitHalfWithdraws) {
    ASSERT_TRUE(connect32(record32_));
    ASSERT_TRUE(ThunkConnect16(halves::dll16, halves::dll32, halves::table.thunkData16Name,
                               &record16_, DLL_PROCESS_DETACH));
    EXPECT_FALSE(dispatchWorks());
    EXPECT_FALSE(connect32(record32_));
}

TEST(Registration, RefusesBadOrDuplicate16BitRecords) {
    ThunkData16 good{{'S', 'L', '0', '1'}, 1, 3, {}};
    ThunkData16 unsigned16{{'X', 'L', '0', '1'}, 1, 3, {}};
    ThunkData16 empty{{'S', 'L', '0', '1'}, 1, 0, {}};
    ThunkData16 twin = good;
    EXPECT_FALSE(
        ThunkConnect16("A16.DLL", "A32.DLL", "a_ThunkData16", &unsigned16, DLL_PROCESS_ATTACH));
    EXPECT_FALSE(ThunkConnect16("A16.DLL", "A32.DLL", "a_ThunkData16", &empty, DLL_PROCESS_ATTACH));
    EXPECT_TRUE(ThunkConnect16("A16.DLL", "A32.DLL", "a_ThunkData16", &good, DLL_PROCESS_ATTACH));
    EXPECT_FALSE(ThunkConnect16("a16.dll", "A32.DLL", "a_ThunkData16", &twin, DLL_PROCESS_ATTACH));
    EXPECT_TRUE(ThunkConnect16("A16.DLL", "A32.DLL", "a_ThunkData16", &good, DLL_PROCESS_DETACH));
    EXPECT_TRUE(ThunkConnect16("a16.dll", "A32.DLL", "a_ThunkData16", &twin, DLL_PROCESS_ATTACH));
    EXPECT_TRUE(ThunkConnect16("a16.dll", "A32.DLL", "a_ThunkData16", &twin, DLL_PROCESS_DETACH));
}

}  // namespace
