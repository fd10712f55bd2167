#pragma once
// The 16-bit caller's stack as the thunk dispatcher sees it: one stack segment that grows down.
// A 16-bit caller pushes its arguments from first to last, so the last argument lies at the
// lowest address (the top of the stack) and the first at the highest. Values are little-endian;
// a far pointer is pushed as selector then offset, so it reads back as one 32-bit SEGPTR.

#include <cstddef>
#include <vector>

#include "platform/thunk/selectors.h"
#include "platform/thunk/thunk_api.h"
#include "platform/win32_types.h"

// The arguments of one call, read from the top of the stack: offset 0 is the last argument pushed.
// A read beyond what was pushed yields 0 and marks the frame as overrun instead of reading past
// the segment.
class VE_PLATFORM_THUNK_API ArgFrame16 {
  public:
    ArgFrame16(const BYTE* top, size_t size) : top_(top), size_(size) {}

    WORD word(size_t offset) const;
    DWORD dword(size_t offset) const;
    SEGPTR farPointer(size_t offset) const { return dword(offset); }

    size_t size() const { return size_; }
    bool overrun() const { return overrun_; }

  private:
    const BYTE* top_;
    size_t size_;
    mutable bool overrun_ = false;
};

class VE_PLATFORM_THUNK_API Stack16 {
  public:
    static constexpr size_t segmentSize = 0x10000;

    Stack16() : memory_(segmentSize), top_(segmentSize) {}

    // Each push throws std::overflow_error when the segment is full, as a 16-bit stack fault would
    // end the caller.
    void pushWord(WORD value);
    void pushShort(SHORT value) { pushWord(static_cast<WORD>(value)); }
    void pushDword(DWORD value);
    void pushFar(SEGPTR pointer) { pushDword(pointer); }

    // Removes bytes from the top; false (and nothing removed) when fewer were pushed.
    bool pop(size_t bytes);

    // How many bytes are on the stack.
    size_t depth() const { return segmentSize - top_; }
    ArgFrame16 frame() const { return ArgFrame16(memory_.data() + top_, depth()); }

  private:
    void push(const BYTE* bytes, size_t count);

    std::vector<BYTE> memory_;
    size_t top_;
};
