#pragma once
// What the shell needs to know of an icon handle: where the icon came from and its image.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/win32_types.h"

namespace ve::user {

struct IconDescription {
    unsigned resourceId = 0;        // the resource it was loaded from
    std::vector<uint8_t> iconFile;  // an icon file holding just its image
};

std::optional<IconDescription> describeIcon(HICON icon);

}  // namespace ve::user
