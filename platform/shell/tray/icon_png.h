#pragma once
// Writing an icon image as a PNG file, for a person to look at.

#include <string>

#include "platform/user32/icon_file.h"

namespace ve::shell {

// Writes the bitmap enlarged `scale` times (each pixel a square), with its transparency, to path.
// The file appears whole or not at all; false with a reason on failure.
bool writeIconPng(const icons::IconBitmap& bitmap, int scale, const std::string& path,
                  std::string& error);

}  // namespace ve::shell
