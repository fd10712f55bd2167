#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "test_halves.h"

namespace {

class Dispatcher : public halves::Connected {
  protected:
    void SetUp() override {
        Connected::SetUp();
        ASSERT_TRUE(connect32(record32_));
    }
};

TEST_F(Dispatcher, CallsTheStubByIndexAndRemovesItsArguments) {
    Stack16 stack;
    stack.pushWord(0x5555);  // the caller's own data, below the arguments
    stack.pushDword(1000);
    stack.pushShort(-1);
    DWORD result = 0;
    ASSERT_TRUE(ThunkDispatch16To32(&record16_, halves::addEntry, &stack, &result));
    EXPECT_EQ(result, 999u);
    EXPECT_EQ(stack.depth(), 2u);
    EXPECT_EQ(stack.frame().word(0), 0x5555);
}

TEST_F(Dispatcher, RefusesCallsItCannotCarry) {
    Stack16 stack;
    stack.pushDword(1);
    stack.pushShort(1);
    DWORD result = 77;
    EXPECT_FALSE(ThunkDispatch16To32(&record16_, halves::entryCount, &stack, &result));
    EXPECT_FALSE(ThunkDispatch16To32(&record16_, 0xFFFFFFFF, &stack, &result));
    ThunkData16 stranger = record16_;
    EXPECT_FALSE(ThunkDispatch16To32(&stranger, halves::addEntry, &stack, &result));
    EXPECT_FALSE(ThunkDispatch16To32(&record16_, halves::addEntry, nullptr, &result));
    EXPECT_FALSE(ThunkDispatch16To32(&record16_, halves::greedyEntry, &stack, &result));
    EXPECT_FALSE(ThunkDispatch16To32(&record16_, halves::overclaimEntry, &stack, &result));
    EXPECT_EQ(result, 77u);
    EXPECT_EQ(stack.depth(), 6u) << "the caller's stack is left as it was";
}

TEST_F(Dispatcher, HoldsTheWin16LockForTheCallerAndThePrologLetsGo) {
    Stack16 stack;
    DWORD result = 0;
    EXPECT_EQ(Win16LockCount(), 0u);
    ASSERT_TRUE(ThunkDispatch16To32(&record16_, halves::lockEntry, &stack, &result));
    EXPECT_EQ(result >> 16, 1u) << "held while the stub reads its arguments";
    EXPECT_EQ(result & 0xFFFF, 0u) << "released between prolog and epilog";
    EXPECT_EQ(Win16LockCount(), 0u);
}

TEST(Win16Lock, PrologAndEpilogPairUpAndNest) {
    EXPECT_EQ(Win16LockCount(), 0u);
    K32Thk1632Epilog();  // without a prolog: nothing to restore
    EXPECT_EQ(Win16LockCount(), 0u);
    K32Thk1632Prolog();
    K32Thk1632Prolog();
    K32Thk1632Epilog();
    K32Thk1632Epilog();
    EXPECT_EQ(Win16LockCount(), 0u);
}

// A stub that, between prolog and epilog, lets another thread make a 16-bit call of its own:
// that call needs the Win16 lock, so it only gets through in time if the prolog really let go.
// The other call is collected after the dispatch, when the lock is free in any case.
const ThunkData16* otherCallersRecord = nullptr;
std::future<bool> otherCall;
bool otherCallInTime = false;

ThunkResult letAnotherCallerIn(const ArgFrame16&) {
    K32Thk1632Prolog();
    otherCall = std::async(std::launch::async, [] {
        Stack16 stack;
        stack.pushDword(1);
        stack.pushShort(1);
        DWORD result = 0;
        return ThunkDispatch16To32(otherCallersRecord, 1, &stack, &result) && result == 2;
    });
    otherCallInTime = otherCall.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    K32Thk1632Epilog();
    return {0, 0};
}

TEST_F(Dispatcher, LetsOther16BitCallersRunWhileA32BitCallIsUnderway) {
    static ThunkTargetTable<2, sizeof "lock_ThunkData16"> table = {
        {letAnotherCallerIn, halves::add}, "lock_ThunkData16"};
    ThunkData16 record16{{'S', 'L', '0', '1'}, 5, 2, {}};
    ThunkData32 record32{{'S', 'L', '0', '1'}, 5, {0, 0}, {'L', 'B', '0', '1'}, {0, 0, 0}};
    ASSERT_TRUE(ThunkConnect16("LOCK16.DLL", "LOCK32.DLL", table.thunkData16Name, &record16,
                               DLL_PROCESS_ATTACH));
    ASSERT_TRUE(ThunkConnect32(&record32, table.thunkData16Name, "LOCK16.DLL", "LOCK32.DLL",
                               nullptr, DLL_PROCESS_ATTACH));
    otherCallersRecord = &record16;
    Stack16 stack;
    DWORD result = 0;
    EXPECT_TRUE(ThunkDispatch16To32(&record16, 0, &stack, &result));
    EXPECT_TRUE(otherCall.get());
    EXPECT_TRUE(otherCallInTime);
    ThunkConnect32(&record32, table.thunkData16Name, "LOCK16.DLL", "LOCK32.DLL", nullptr,
                   DLL_PROCESS_DETACH);
    ThunkConnect16("LOCK16.DLL", "LOCK32.DLL", table.thunkData16Name, &record16,
                   DLL_PROCESS_DETACH);
}

}  // namespace
