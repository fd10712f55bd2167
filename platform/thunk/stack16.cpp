#include "platform/thunk/stack16.h"

#include <stdexcept>

WORD ArgFrame16::word(size_t offset) const {
    if (offset > size_ || size_ - offset < 2) {
        overrun_ = true;
        return 0;
    }
    return static_cast<WORD>(top_[offset] | top_[offset + 1] << 8);
}

DWORD ArgFrame16::dword(size_t offset) const {
    if (offset > size_ || size_ - offset < 4) {
        overrun_ = true;
        return 0;
    }
    return static_cast<DWORD>(word(offset)) | static_cast<DWORD>(word(offset + 2)) << 16;
}

void Stack16::push(const BYTE* bytes, size_t count) {
    if (top_ < count) throw std::overflow_error("16-bit stack segment overflow");
    top_ -= count;
    for (size_t i = 0; i < count; ++i) memory_[top_ + i] = bytes[i];
}

void Stack16::pushWord(WORD value) {
    const BYTE bytes[2] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)};
    push(bytes, sizeof bytes);
}

void Stack16::pushDword(DWORD value) {
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    push(bytes, sizeof bytes);
}

bool Stack16::pop(size_t bytes) {
    if (bytes > depth()) return false;
    top_ += bytes;
    return true;
}
