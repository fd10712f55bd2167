#include "platform/thunk/selectors.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace {

constexpr unsigned descriptorCount = 8192;  // a descriptor table holds 8192 entries

struct Descriptor {
    const BYTE* base = nullptr;
    bool present = false;
    DWORD fixes = 0;
};

struct SelectorTable {
    std::mutex lock;
    std::array<Descriptor, descriptorCount> descriptors;
    unsigned nextIndex = 1;  // index 0 would make the null selector
};

SelectorTable& table() {
    static SelectorTable instance;
    return instance;
}

WORD selectorForIndex(unsigned index) {
    return static_cast<WORD>(index << 3 | 7);
}
WORD selectorOf(SEGPTR pointer) {
    return static_cast<WORD>(pointer >> 16);
}
WORD offsetOf(SEGPTR pointer) {
    return static_cast<WORD>(pointer & 0xFFFF);
}

// The descriptor a selector names, if it names a present one; the table lock must be held.
Descriptor* lookup(SelectorTable& t, WORD selector) {
    if ((selector & 7) != 7) return nullptr;
    const unsigned index = selector >> 3;
    if (index == 0 || index >= descriptorCount || !t.descriptors[index].present) return nullptr;
    return &t.descriptors[index];
}

LPVOID translate(SEGPTR pointer, bool fix) {
    if (pointer == 0) return nullptr;
    SelectorTable& t = table();
    std::lock_guard<std::mutex> lock(t.lock);
    Descriptor* descriptor = lookup(t, selectorOf(pointer));
    if (descriptor == nullptr) return nullptr;  // every 16-bit offset is within the 64 KB limit
    if (fix) ++descriptor->fixes;
    return const_cast<BYTE*>(descriptor->base + offsetOf(pointer));
}

}  // namespace

extern "C" SEGPTR WINAPI MapLS(LPCVOID flat) {
    if (flat == nullptr) return 0;
    SelectorTable& t = table();
    std::lock_guard<std::mutex> lock(t.lock);
    // Hand out indices round the table, so a freed selector is not reused at once and a stale far
    // pointer is more likely to be caught than to reach someone else's memory.
    for (unsigned tried = 0; tried < descriptorCount - 1; ++tried) {
        const unsigned index = t.nextIndex;
        t.nextIndex = t.nextIndex + 1 < descriptorCount ? t.nextIndex + 1 : 1;
        Descriptor& descriptor = t.descriptors[index];
        if (descriptor.present) continue;
        descriptor = Descriptor{static_cast<const BYTE*>(flat), true, 0};
        return static_cast<SEGPTR>(selectorForIndex(index)) << 16;
    }
    return 0;
}

extern "C" void WINAPI UnMapLS(SEGPTR pointer) {
    SelectorTable& t = table();
    std::lock_guard<std::mutex> lock(t.lock);
    if (Descriptor* descriptor = lookup(t, selectorOf(pointer))) *descriptor = Descriptor{};
}

extern "C" LPVOID WINAPI MapSL(SEGPTR pointer) {
    return translate(pointer, false);
}

extern "C" LPVOID WINAPI MapSLFix(SEGPTR pointer) {
    return translate(pointer, true);
}

extern "C" void WINAPI UnMapSLFixArray(DWORD count, const SEGPTR* list) {
    if (list == nullptr) return;
    SelectorTable& t = table();
    std::lock_guard<std::mutex> lock(t.lock);
    for (DWORD i = 0; i < count; ++i) {
        if (list[i] == 0) continue;
        Descriptor* descriptor = lookup(t, selectorOf(list[i]));
        if (descriptor != nullptr && descriptor->fixes > 0) --descriptor->fixes;
    }
}

extern "C" DWORD WINAPI SelectorFixCount(WORD selector) {
    SelectorTable& t = table();
    std::lock_guard<std::mutex> lock(t.lock);
    const Descriptor* descriptor = lookup(t, selector);
    return descriptor != nullptr ? descriptor->fixes : 0;
}
