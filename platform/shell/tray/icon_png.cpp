#include "platform/shell/tray/icon_png.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "platform/user32/desktop.h"

namespace ve::shell {

bool writeIconPng(const icons::IconBitmap& bitmap, int scale, const std::string& path,
                  std::string& error) {
    const int width = bitmap.width * scale;
    const int height = bitmap.height * scale;
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            icons::Rgba p = bitmap.at(x / scale, y / scale);
            uint8_t* out = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
            out[0] = p.r;
            out[1] = p.g;
            out[2] = p.b;
            out[3] = p.a;
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        error = image.message;
        return false;
    }
    std::vector<uint8_t> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, pixels.data(), 0, nullptr)) {
        error = image.message;
        return false;
    }
    std::string_view bytes(reinterpret_cast<const char*>(encoded.data()), size);
    if (!desktop::writeFileAtomically(path, bytes, 0644)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace ve::shell
