// ThunkConnect16, ThunkConnect32 and the dispatcher: the registry of 16-bit records and the
// connections made with them.
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <list>
#include <mutex>
#include <string>

#include "platform/loader/dynamic_library.h"
#include "platform/thunk/thunk_services.h"
#include "platform/thunk/win16_lock.h"

namespace {

// A table larger than this is not a table but a stray count.
constexpr DWORD maximumTargets = 4096;

struct Registration {
    std::string dll16;
    std::string dll32;
    std::string recordName;
    ThunkData16* thunkData16 = nullptr;
    // Set while connected.
    const ThunkData32* thunkData32 = nullptr;
    const ThunkTarget* targets = nullptr;
};

struct Registry {
    std::mutex lock;
    std::list<Registration> registrations;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

bool sameModuleName(const std::string& a, LPCSTR b) {
    return strcasecmp(a.c_str(), b) == 0;
}

bool hasSignature(const char (&field)[4], const char* signature) {
    return std::memcmp(field, signature, 4) == 0;
}

// The entry table ends where the record's name begins.
const ThunkTarget* tableBefore(LPCSTR name, DWORD count) {
    const auto nameAddress = reinterpret_cast<uintptr_t>(name);
    const uintptr_t tableBytes = uintptr_t{count} * sizeof(ThunkTarget);
    if (nameAddress < tableBytes || (nameAddress - tableBytes) % alignof(ThunkTarget) != 0)
        return nullptr;
    const auto* targets = reinterpret_cast<const ThunkTarget*>(nameAddress - tableBytes);
    for (DWORD i = 0; i < count; ++i)
        if (targets[i] == nullptr) return nullptr;
    return targets;
}

BOOL connect(ThunkData32* thunkData32, LPCSTR thunkData16Name, LPCSTR dll16, LPCSTR dll32) {
    if (thunkData32 == nullptr || thunkData16Name == nullptr || dll16 == nullptr ||
        dll32 == nullptr)
        return FALSE;
    if (!hasSignature(thunkData32->signature, THUNK_SIGNATURE) ||
        !hasSignature(thunkData32->linkSignature, THUNK_LINK_SIGNATURE))
        return FALSE;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    for (Registration& registration : r.registrations) {
        if (!sameModuleName(registration.dll16, dll16) ||
            registration.recordName != thunkData16Name)
            continue;
        const ThunkData16& record = *registration.thunkData16;
        if (!sameModuleName(registration.dll32, dll32) || record.checksum != thunkData32->checksum)
            return FALSE;
        if (registration.thunkData32 != nullptr) return registration.thunkData32 == thunkData32;
        const ThunkTarget* targets = tableBefore(thunkData16Name, record.targetCount);
        if (targets == nullptr) return FALSE;
        registration.thunkData32 = thunkData32;
        registration.targets = targets;
        return TRUE;
    }
    return FALSE;  // the 16-bit half is not there
}

void disconnect(const ThunkData32* thunkData32) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    for (Registration& registration : r.registrations)
        if (registration.thunkData32 == thunkData32) {
            registration.thunkData32 = nullptr;
            registration.targets = nullptr;
        }
}

}  // namespace

extern "C" BOOL WINAPI ThunkConnect32(ThunkData32* thunkData32, LPCSTR thunkData16Name,
                                      LPCSTR dll16, LPCSTR dll32, HINSTANCE, DWORD reason) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return connect(thunkData32, thunkData16Name, dll16, dll32);
        case DLL_PROCESS_DETACH:
            disconnect(thunkData32);
            return TRUE;
        default:
            return TRUE;
    }
}

extern "C" BOOL WINAPI ThunkConnect16(LPCSTR dll16, LPCSTR dll32, LPCSTR thunkData16Name,
                                      ThunkData16* thunkData16, DWORD reason) {
    if (dll16 == nullptr || dll32 == nullptr || thunkData16Name == nullptr ||
        thunkData16 == nullptr)
        return FALSE;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (reason == DLL_PROCESS_DETACH) {
        r.registrations.remove_if([&](const Registration& registration) {
            return registration.thunkData16 == thunkData16;
        });
        return TRUE;
    }
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    if (!hasSignature(thunkData16->signature, THUNK_SIGNATURE) || thunkData16->targetCount == 0 ||
        thunkData16->targetCount > maximumTargets)
        return FALSE;
    for (const Registration& registration : r.registrations)
        if (registration.thunkData16 == thunkData16 || (sameModuleName(registration.dll16, dll16) &&
                                                        registration.recordName == thunkData16Name))
            return FALSE;
    Registration& registration = r.registrations.emplace_back();
    registration.dll16 = dll16;
    registration.dll32 = dll32;
    registration.recordName = thunkData16Name;
    registration.thunkData16 = thunkData16;
    return TRUE;
}

extern "C" BOOL WINAPI ThunkDispatch16To32(const ThunkData16* thunkData16, UINT index,
                                           Stack16* stack, DWORD* result) {
    if (stack == nullptr) return FALSE;
    ThunkTarget target = nullptr;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.lock);
        for (const Registration& registration : r.registrations)
            if (registration.thunkData16 == thunkData16 && registration.targets != nullptr &&
                index < thunkData16->targetCount)
                target = registration.targets[index];
    }
    if (target == nullptr) return FALSE;

    platform::thunk::enterWin16Lock();
    const ArgFrame16 arguments = stack->frame();
    const ThunkResult returned = target(arguments);
    platform::thunk::leaveWin16Lock();

    if (arguments.overrun() || !stack->pop(returned.argumentBytes)) return FALSE;
    if (result != nullptr) *result = returned.value;
    return TRUE;
}
