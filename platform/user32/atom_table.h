#pragma once
// The desktop's table of registered names, in the file "atoms" of the desktop directory: one name
// per line, the line's index giving the number 0xC000 + index.

#include <string>

#include "platform/win32_types.h"

namespace ve::user {

// The number of the name, registering it when new; 0 when the table is full or cannot be written.
UINT registerName(const std::string& desktop, const std::string& name);

}  // namespace ve::user
