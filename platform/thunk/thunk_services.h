#pragma once
// 16-to-32-bit flat thunk services: the connection of a 16-bit library half with its 32-bit half,
// the prolog and epilog around each 32-bit call, and the dispatcher that carries a 16-bit call to
// the 32-bit half's entry stub by index.
//
// The two halves are generated from one description of the thunked functions and each carries a
// connection record with the description's checksum. The 16-bit half registers its record under
// its module name and the record's name (ThunkConnect16); the 32-bit half's entry point asks for
// a connection by those names (ThunkConnect32), which is granted only when both records carry
// their signatures and the same checksum. The 32-bit half keeps its entry table, one stub address
// per function in index order, immediately before the NUL-terminated name of the 16-bit record
// that it passes to ThunkConnect32; the 16-bit record says how many entries the table has.

#include <cstddef>

#include "platform/thunk/selectors.h"
#include "platform/thunk/stack16.h"
#include "platform/thunk/thunk_api.h"
#include "platform/win32_types.h"

// The 32-bit half's record: "SL01", the checksum, two reserved zeros, "LB01", three reserved
// zeros. The services read it and leave it unchanged.
struct ThunkData32 {
    char signature[4];
    DWORD checksum;
    DWORD reserved[2];
    char linkSignature[4];
    DWORD linkReserved[3];
};
static_assert(sizeof(ThunkData32) == 32, "the 32-bit connection record is 32 bytes");

// The 16-bit half's record: "SL01", the checksum, and the number of thunked functions.
struct ThunkData16 {
    char signature[4];
    DWORD checksum;
    DWORD targetCount;
    DWORD reserved[5];
};
static_assert(sizeof(ThunkData16) == 32, "the 16-bit connection record is 32 bytes");

// What an entry stub hands back: the 32-bit result (DX:AX to the 16-bit caller) and the number of
// argument bytes the dispatcher removes from the caller's stack.
struct ThunkResult {
    DWORD value;
    WORD argumentBytes;
};

// An entry stub, called with the caller's arguments on top of its stack.
using ThunkTarget = ThunkResult (*)(const ArgFrame16& arguments);

// The 32-bit half's entry table followed by the name of the 16-bit record, in one object so that
// the name's address locates the table.
template <size_t Count, size_t NameSize>
struct ThunkTargetTable {
    ThunkTarget targets[Count];
    char thunkData16Name[NameSize];
};

#define THUNK_SIGNATURE "SL01"
#define THUNK_LINK_SIGNATURE "LB01"

extern "C" {

// The 32-bit half's side of the connection, called from its entry point with every reason.
// Process attach: connects to the 16-bit record registered as thunkData16Name by the module dll16
// for the 32-bit module dll32; returns 0 when there is no such record, a signature is wrong, the
// checksums differ or the 16-bit record is connected to another 32-bit half. thunkData16Name must
// be the name stored right after the entry table. Process detach ends the connection. Every other
// reason returns TRUE.
VE_PLATFORM_THUNK_API BOOL WINAPI ThunkConnect32(ThunkData32* thunkData32, LPCSTR thunkData16Name,
                                                 LPCSTR dll16, LPCSTR dll32, HINSTANCE instance,
                                                 DWORD reason);

// The 16-bit half's side: process attach registers its record under (dll16, thunkData16Name) for
// the 32-bit module dll32 (FALSE when the record lacks its signature, has no entries, or the name
// is taken); process detach withdraws the record and ends its connection.
VE_PLATFORM_THUNK_API BOOL WINAPI ThunkConnect16(LPCSTR dll16, LPCSTR dll32, LPCSTR thunkData16Name,
                                                 ThunkData16* thunkData16, DWORD reason);

// Called by an entry stub around its call into 32-bit code: the prolog lets go of the Win16 lock
// that the 16-bit caller holds, so 32-bit code never blocks other 16-bit tasks; the epilog takes
// it back. They pair up per thread and may nest.
VE_PLATFORM_THUNK_API void WINAPI K32Thk1632Prolog();
VE_PLATFORM_THUNK_API void WINAPI K32Thk1632Epilog();

// How many times the calling thread holds the Win16 lock.
VE_PLATFORM_THUNK_API DWORD WINAPI Win16LockCount();

// The dispatcher: a 16-bit call through the connection of thunkData16 to entry `index`. The
// caller's thread holds the Win16 lock during the call, as 16-bit code does. On return the
// stub's argument bytes have been removed from the stack and *result holds its result. Returns
// FALSE without calling anything when thunkData16 is not connected or index is outside the table,
// and FALSE (stack left as it was) when the stub read or removed more bytes than were pushed.
VE_PLATFORM_THUNK_API BOOL WINAPI ThunkDispatch16To32(const ThunkData16* thunkData16, UINT index,
                                                      Stack16* stack, DWORD* result);

}  // extern "C"
