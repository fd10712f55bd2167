#pragma once
// 32-bit flat handles. On the original platform a flat address is 32 bits wide, so the 32-bit half
// of a thunk can hand an object's address to the 16-bit side as a DWORD and take it back
// unchanged. Flat addresses on this host are wider, so such an address travels as a 32-bit handle
// that this table turns back into the address. 0 always stands for the null pointer.

#include "platform/thunk/thunk_api.h"
#include "platform/win32_types.h"

extern "C" {

// The handle of address (the same handle for the same address until released); 0 for null, and
// 0 when all 2^32 - 1 handles are in use.
VE_PLATFORM_THUNK_API DWORD WINAPI FlatHandleFromPointer(LPVOID address);

// The address behind a handle; null for 0 or a handle that is not (or no longer) in use.
VE_PLATFORM_THUNK_API LPVOID WINAPI PointerFromFlatHandle(DWORD handle);

// Ends a handle, once the object behind it is gone.
VE_PLATFORM_THUNK_API void WINAPI ReleaseFlatHandle(DWORD handle);

}  // extern "C"
