#pragma once
// The 16:16 selector table: how a 16-bit caller's far pointers (selector:offset) reach 32-bit
// code as flat pointers. Selectors are numbered as local-descriptor-table selectors of the
// caller's privilege level (index << 3 | 7); each describes a base address and a limit of 64 KB.

#include "platform/thunk/thunk_api.h"
#include "platform/win32_types.h"

using SEGPTR = DWORD;  // selector in the high word, offset in the low word

extern "C" {

// Allocates a selector whose base is flat and returns flat as a 16:16 pointer (offset 0). A null
// pointer maps to 0; 0 is also returned when the table is full.
VE_PLATFORM_THUNK_API SEGPTR WINAPI MapLS(LPCVOID flat);

// Frees the selector of a pointer from MapLS. Flat pointers handed out for it stay valid: the
// memory is the caller's.
VE_PLATFORM_THUNK_API void WINAPI UnMapLS(SEGPTR pointer);

// The flat address of a 16:16 pointer; null for 0 or a selector that is not allocated.
VE_PLATFORM_THUNK_API LPVOID WINAPI MapSL(SEGPTR pointer);

// As MapSL, and fixes the segment in memory until the matching UnMapSLFixArray.
VE_PLATFORM_THUNK_API LPVOID WINAPI MapSLFix(SEGPTR pointer);

// Releases the fixes that MapSLFix took on the count pointers in list.
VE_PLATFORM_THUNK_API void WINAPI UnMapSLFixArray(DWORD count, const SEGPTR* list);

// How many fixes the selector holds (0 for an unknown selector).
VE_PLATFORM_THUNK_API DWORD WINAPI SelectorFixCount(WORD selector);

}  // extern "C"
