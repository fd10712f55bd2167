#include "platform/kernel32/handle_table.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/kernel32/winbase.h"

namespace ve::kernel {
namespace {

struct HandleTable {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 4;
};

HandleTable& table() {
    static HandleTable instance;
    return instance;
}

}  // namespace

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> findHandle(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool removeHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> removed;  // destroyed after the lock is released
    HandleTable& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    removed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace ve::kernel

extern "C" BOOL WINAPI CloseHandle(HANDLE object) {
    if (!ve::kernel::removeHandle(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
