#pragma once
// The 16-bit side of the thunk, as VE16 would be for its caller: its own connection record, its
// 16:16 memory, and calls into the bridge's entry table by index with the arguments pushed as a
// 16-bit caller pushes them (first argument first, so at the highest address).

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/loader/dynamic_library.h"
#include "platform/thunk/selectors.h"
#include "platform/thunk/thunk_services.h"

namespace side16 {

// The bridge's entry table as the 16-bit half knows it.
enum Entry {
    m2sClose,
    m2sReset,
    m2sEnable,
    m2sProcess8,
    m2sProcess16,
    m2sOpen,
    veClose,
    veReset,
    veEnable,
    veSetCenter,
    veSetSpread,
    veProcess8,
    veProcess16,
    veOpen,
    entryCount
};

constexpr DWORD sharedChecksum = 0x11A2F;

// One argument as the 16-bit caller pushes it.
struct Arg16 {
    enum Size { word, dword } size;
    DWORD bits;
};
inline Arg16 dwordArg(DWORD value) {
    return {Arg16::dword, value};
}
inline Arg16 shortArg(SHORT value) {
    return {Arg16::word, static_cast<WORD>(value)};
}
inline Arg16 wordArg(WORD value) {
    return {Arg16::word, value};
}
inline Arg16 farArg(SEGPTR pointer) {
    return {Arg16::dword, pointer};
}
inline Arg16 floatArg(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {Arg16::dword, bits};
}

// Memory of the 16-bit side, reachable through its own selector.
template <typename T>
class Memory16 {
  public:
    explicit Memory16(size_t count, T fill = T{})
        : values_(count, fill), far_(MapLS(values_.data())) {}
    ~Memory16() { UnMapLS(far_); }
    Memory16(const Memory16&) = delete;
    Memory16& operator=(const Memory16&) = delete;

    SEGPTR far() const { return far_; }
    WORD selector() const { return static_cast<WORD>(far_ >> 16); }
    std::vector<T>& values() { return values_; }
    T& operator[](size_t i) { return values_[i]; }

  private:
    std::vector<T> values_;
    SEGPTR far_;
};

class Side16 {
  public:
    // Registers the record "ve_ThunkData16" of "VE16.DLL" for the 32-bit module dll32.
    explicit Side16(DWORD checksum = sharedChecksum, const char* dll32 = "VE32THK.DLL");
    ~Side16();
    Side16(const Side16&) = delete;
    Side16& operator=(const Side16&) = delete;

    // Loads the bridge by its module name; null when the load fails.
    HMODULE load();
    void unload();
    HMODULE bridge() const { return bridge_; }

    // One call through the entry table. Expects the dispatcher to carry it and the stub to remove
    // exactly the bytes pushed, leaving the caller's own data below them untouched.
    DWORD call(Entry entry, std::initializer_list<Arg16> arguments);

    DWORD open(Entry entry, SEGPTR handleVariable, int sampleRate, unsigned int flags) {
        return call(entry, {farArg(handleVariable), dwordArg(static_cast<DWORD>(sampleRate)),
                            dwordArg(flags)});
    }
    DWORD process(Entry entry, DWORD handle, SEGPTR in, SEGPTR out, WORD frames) {
        return call(entry, {dwordArg(handle), farArg(in), farArg(out), wordArg(frames)});
    }
    void gain(Entry entry, DWORD handle, float decibels) {
        call(entry, {dwordArg(handle), floatArg(decibels)});
    }
    void enable(Entry entry, DWORD handle, SHORT value) {
        call(entry, {dwordArg(handle), shortArg(value)});
    }
    void handleOnly(Entry entry, DWORD handle) { call(entry, {dwordArg(handle)}); }

    // A dispatch without expectations: whether the dispatcher carried the call at all.
    bool dispatches(UINT index, Stack16& stack) {
        DWORD result = 0;
        return ThunkDispatch16To32(&record_, index, &stack, &result);
    }

  private:
    ThunkData16 record_;
    HMODULE bridge_ = nullptr;
};

// Points the default search path at the given directories for one test.
class SearchPathOverride {
  public:
    explicit SearchPathOverride(const std::vector<std::string>& directories);
    ~SearchPathOverride();

  private:
    bool hadValue_;
    std::string saved_;
};

// Whether the shared object at path is mapped into the process.
bool isMapped(const std::string& path);

}  // namespace side16
