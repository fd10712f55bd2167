#include "platform/thunk/flat_handles.h"

#include <mutex>
#include <unordered_map>

namespace {

struct FlatHandles {
    std::mutex lock;
    std::unordered_map<DWORD, LPVOID> addressOf;
    std::unordered_map<LPVOID, DWORD> handleOf;
    DWORD next = 1;
};

FlatHandles& handles() {
    static FlatHandles instance;
    return instance;
}

}  // namespace

extern "C" DWORD WINAPI FlatHandleFromPointer(LPVOID address) {
    if (address == nullptr) return 0;
    FlatHandles& h = handles();
    std::lock_guard<std::mutex> lock(h.lock);
    if (auto known = h.handleOf.find(address); known != h.handleOf.end()) return known->second;
    if (h.addressOf.size() >= 0xFFFFFFFFu) return 0;
    // Handles are handed out in sequence and not reused until the sequence wraps, so a stale
    // handle finds nothing rather than someone else's object.
    while (h.next == 0 || h.addressOf.count(h.next) != 0) ++h.next;
    const DWORD handle = h.next++;
    h.addressOf.emplace(handle, address);
    h.handleOf.emplace(address, handle);
    return handle;
}

extern "C" LPVOID WINAPI PointerFromFlatHandle(DWORD handle) {
    FlatHandles& h = handles();
    std::lock_guard<std::mutex> lock(h.lock);
    const auto known = h.addressOf.find(handle);
    return known != h.addressOf.end() ? known->second : nullptr;
}

extern "C" void WINAPI ReleaseFlatHandle(DWORD handle) {
    FlatHandles& h = handles();
    std::lock_guard<std::mutex> lock(h.lock);
    const auto known = h.addressOf.find(handle);
    if (known == h.addressOf.end()) return;
    h.handleOf.erase(known->second);
    h.addressOf.erase(known);
}
