#pragma once
// What the bridge shares with its 16-bit half, VE16: both are generated from one description of
// the fourteen thunked functions, whose checksum both connection records carry.

#include "platform/thunk/thunk_services.h"

namespace ve32thk {

constexpr DWORD thunkChecksum = 0x11A2F;
constexpr char thunkData16Name[] = "ve_ThunkData16";
constexpr char module16Name[] = "VE16.DLL";
constexpr char module32Name[] = "VE32THK.DLL";
constexpr char libraryFileName[] = "ve32.dll";

// The entry table's indices: the 16-bit half calls the bridge by these numbers.
enum EntryIndex {
    m2sCloseIndex,
    m2sResetIndex,
    m2sEnableIndex,
    m2sProcess8Index,
    m2sProcess16Index,
    m2sOpenIndex,
    veCloseIndex,
    veResetIndex,
    veEnableIndex,
    veSetCenterIndex,
    veSetSpreadIndex,
    veProcess8Index,
    veProcess16Index,
    veOpenIndex,
    entryCount
};

using EntryTable = ThunkTargetTable<entryCount, sizeof thunkData16Name>;

// The entry table, followed by the 16-bit record's name that the entry point passes to
// ThunkConnect32.
extern EntryTable entryTable;

}  // namespace ve32thk

// The bridge's connection record, exported so the platform's thunk services can find it.
extern "C" __attribute__((visibility("default"))) ThunkData32 ve_ThunkData32;
