#pragma once
// A small pair of thunk halves: a 32-bit half with four entry stubs and a 16-bit record for it,
// registered and withdrawn around each test.

#include <gtest/gtest.h>

#include "platform/loader/dynamic_library.h"
#include "platform/thunk/thunk_services.h"

namespace halves {

constexpr char dll16[] = "TEST16.DLL";
constexpr char dll32[] = "TEST32.DLL";
constexpr DWORD checksum = 0x2468A;

enum Entry { addEntry, lockEntry, greedyEntry, overclaimEntry, entryCount };

// DWORD x, SHORT y: returns x + y (y sign-extended) and removes 6 bytes.
inline ThunkResult add(const ArgFrame16& arguments) {
    const LONG y = static_cast<SHORT>(arguments.word(0));
    const DWORD x = arguments.dword(2);
    return {x + static_cast<DWORD>(y), 6};
}

// No arguments: reports the Win16 lock count before the prolog (high word) and inside it (low).
inline ThunkResult lockCounts(const ArgFrame16&) {
    const DWORD before = Win16LockCount();
    K32Thk1632Prolog();
    const DWORD inside = Win16LockCount();
    K32Thk1632Epilog();
    return {before << 16 | inside, 0};
}

// Reads further than any caller pushes.
inline ThunkResult greedy(const ArgFrame16& arguments) {
    return {arguments.dword(1000), 0};
}

// Claims to take more argument bytes than its caller pushed.
inline ThunkResult overclaim(const ArgFrame16&) {
    return {0, 64};
}

inline ThunkTargetTable<entryCount, sizeof "test_ThunkData16"> table = {
    {add, lockCounts, greedy, overclaim}, "test_ThunkData16"};

inline ThunkData32 record32() {
    return {{'S', 'L', '0', '1'}, checksum, {0, 0}, {'L', 'B', '0', '1'}, {0, 0, 0}};
}

class Connected : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            ThunkConnect16(dll16, dll32, table.thunkData16Name, &record16_, DLL_PROCESS_ATTACH));
    }
    void TearDown() override {
        ThunkConnect32(&record32_, table.thunkData16Name, dll16, dll32, nullptr,
                       DLL_PROCESS_DETACH);
        ThunkConnect16(dll16, dll32, table.thunkData16Name, &record16_, DLL_PROCESS_DETACH);
    }

    BOOL connect32(ThunkData32& record, LPCSTR module16 = dll16, LPCSTR module32 = dll32) {
        return ThunkConnect32(&record, table.thunkData16Name, module16, module32, nullptr,
                              DLL_PROCESS_ATTACH);
    }

    ThunkData16 record16_{{'S', 'L', '0', '1'}, checksum, entryCount, {0, 0, 0, 0, 0}};
    ThunkData32 record32_ = record32();
};

}  // namespace halves
