// The entry stubs: one per entry-table index. Each reads its arguments from the 16-bit caller's
// frame (last argument at offset 0), widens them, turns far pointers into flat ones, brackets the
// forwarding function with the thunk prolog and epilog, and reports its argument byte count so
// the dispatcher can clear the caller's stack.
//
// Engine handles cross to the 16-bit side as 32-bit flat handles (see flat_handles.h): an open
// stub hands out the handle of the engine it created, a close stub ends it.
#include <bit>
#include <cstring>

#include "platform/thunk/flat_handles.h"
#include "platform/thunk/selectors.h"
#include "thunk/bridge_exports.h"
#include "thunk/thunk_description.h"

namespace {

constexpr WORD handleBytes = 4;
constexpr WORD shortBytes = 2;
constexpr WORD dwordBytes = 4;
constexpr WORD farBytes = 4;
constexpr WORD wordBytes = 2;

LONG widenShort(WORD value) {
    return static_cast<SHORT>(value);
}

void* engineOf(DWORD handle) {
    return PointerFromFlatHandle(handle);
}

// DWORD handle
template <void (*Forward)(void*)>
ThunkResult handleStub(const ArgFrame16& arguments) {
    const DWORD handle = arguments.dword(0);
    K32Thk1632Prolog();
    Forward(engineOf(handle));
    K32Thk1632Epilog();
    return {0, handleBytes};
}

// DWORD handle; the engine is gone afterwards, and so is its handle.
template <void (*Forward)(void*)>
ThunkResult closeStub(const ArgFrame16& arguments) {
    const ThunkResult result = handleStub<Forward>(arguments);
    ReleaseFlatHandle(arguments.dword(0));
    return result;
}

// DWORD handle, SHORT enable
template <void (*Forward)(void*, int)>
ThunkResult enableStub(const ArgFrame16& arguments) {
    const LONG enable = widenShort(arguments.word(0));
    const DWORD handle = arguments.dword(shortBytes);
    K32Thk1632Prolog();
    Forward(engineOf(handle), enable);
    K32Thk1632Epilog();
    return {0, handleBytes + shortBytes};
}

// DWORD handle, DWORD decibels (a float's 32 bits)
template <void (*Forward)(void*, float)>
ThunkResult gainStub(const ArgFrame16& arguments) {
    const float decibels = std::bit_cast<float>(arguments.dword(0));
    const DWORD handle = arguments.dword(dwordBytes);
    K32Thk1632Prolog();
    Forward(engineOf(handle), decibels);
    K32Thk1632Epilog();
    return {0, handleBytes + dwordBytes};
}

// DWORD handle, FAR input, FAR output, WORD frames
template <typename Sample, int (*Forward)(void*, const Sample*, Sample*, unsigned int)>
ThunkResult processStub(const ArgFrame16& arguments) {
    const unsigned int frames = arguments.word(0);
    const SEGPTR output = arguments.farPointer(wordBytes);
    const SEGPTR input = arguments.farPointer(wordBytes + farBytes);
    const DWORD handle = arguments.dword(wordBytes + 2 * farBytes);
    const SEGPTR farArguments[] = {output, input};  // last argument first
    auto* flatOutput = static_cast<Sample*>(MapSLFix(output));
    const auto* flatInput = static_cast<const Sample*>(MapSLFix(input));
    K32Thk1632Prolog();
    const int result = Forward(engineOf(handle), flatInput, flatOutput, frames);
    K32Thk1632Epilog();
    UnMapSLFixArray(2, farArguments);
    return {static_cast<DWORD>(result), handleBytes + 2 * farBytes + wordBytes};
}

// FAR handle variable, DWORD sample rate, DWORD flags
template <int (*Forward)(void**, int, unsigned int)>
ThunkResult openStub(const ArgFrame16& arguments) {
    const DWORD flags = arguments.dword(0);
    const LONG sampleRate = static_cast<LONG>(arguments.dword(dwordBytes));
    const SEGPTR handleVariable = arguments.farPointer(2 * dwordBytes);
    const SEGPTR farArguments[] = {handleVariable};
    auto* flatVariable = static_cast<BYTE*>(MapSLFix(handleVariable));

    // The library writes a host pointer, which the 16-bit variable cannot hold: it writes into a
    // local, and the variable receives the engine's 32-bit handle, or 0 when the library stored
    // null. A variable the library never wrote stays as the caller set it.
    static char notWritten;
    void* engine = &notWritten;
    int result = VE32THK_NOT_CALLED;  // a variable that does not translate has nowhere to go
    K32Thk1632Prolog();
    if (flatVariable != nullptr) result = Forward(&engine, sampleRate, flags);
    K32Thk1632Epilog();
    if (flatVariable != nullptr && engine != &notWritten) {
        const DWORD handle = FlatHandleFromPointer(engine);
        std::memcpy(flatVariable, &handle, sizeof handle);
    }
    UnMapSLFixArray(1, farArguments);
    return {static_cast<DWORD>(result), farBytes + 2 * dwordBytes};
}

}  // namespace

namespace ve32thk {

EntryTable entryTable = {
    {
        closeStub<m2sClose>,
        handleStub<m2sReset>,
        enableStub<m2sEnable>,
        processStub<uint8_t, m2sProcess8>,
        processStub<int16_t, m2sProcess16>,
        openStub<m2sOpen>,
        closeStub<veClose>,
        handleStub<veReset>,
        enableStub<veEnable>,
        gainStub<veSetCenter>,
        gainStub<veSetSpread>,
        processStub<uint8_t, veProcess8>,
        processStub<int16_t, veProcess16>,
        openStub<veOpen>,
    },
    "ve_ThunkData16",
};

}  // namespace ve32thk
