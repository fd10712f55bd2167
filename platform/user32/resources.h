#pragma once
// A program's resources. The layer's resource compiler (ve_rc, through the CMake function
// ve_add_resources) turns a resource script into a source file whose table registers itself here
// when the program loads; LoadIconA then finds the program's icons under the program's instance
// handle, which WinMain receives.
//
// Resource scripts hold one resource a line, "<number> ICON "<file>"", with // comments; the file
// is an icon file, looked up beside the script and then in the include directories given.

#include <cstddef>
#include <cstdint>

#include "platform/win32_types.h"

namespace ve::resources {

enum class ResourceType : unsigned { Icon = 14 };  // the number of RT_GROUP_ICON

struct Resource {
    ResourceType type;
    unsigned id;
    const unsigned char* data;
    size_t size;
};

// Registers a program's resource table; used by the compiled resource script.
struct ResourceTable {
    ResourceTable(const Resource* resources, size_t count);
};

const Resource* findProgramResource(ResourceType type, unsigned id);

// The instance handle of the running program's own module, 0x00400000 as the original platform's
// programs are loaded there.
inline HINSTANCE programInstance() {
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));
}

}  // namespace ve::resources
