#pragma once
// The process-wide table of kernel objects behind HANDLE values.

#include <memory>

#include "platform/win32_types.h"

namespace ve::kernel {

struct KernelObject {
    virtual ~KernelObject() = default;
};

// Stores the object and returns its new handle: a multiple of four, never reused within a process,
// so that a stale handle is reported as invalid instead of reaching another object.
HANDLE insertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null when the handle is unknown or names another kind of object.
std::shared_ptr<KernelObject> findHandle(HANDLE handle);

template <class Object>
std::shared_ptr<Object> findHandleOf(HANDLE handle) {
    return std::dynamic_pointer_cast<Object>(findHandle(handle));
}

// Removes the handle; false when it was unknown.
bool removeHandle(HANDLE handle);

}  // namespace ve::kernel
