#pragma once
// Icon files (.ico) and the device-independent bitmaps inside them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ve::icons {

struct IconEntry {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    size_t offset = 0;  // of the image inside the file
    size_t size = 0;
};

// The entries of an icon file, each checked to lie inside it; nothing and a reason when the bytes
// are no icon file.
std::optional<std::vector<IconEntry>> parseIconFile(std::span<const uint8_t> file,
                                                    std::string& error);

// The entry LoadIconA takes for the given size: that size with the most colours, else the first.
size_t chooseIconEntry(const std::vector<IconEntry>& entries, int width, int height);

// An icon file holding only the given entry of another.
std::vector<uint8_t> singleImageIconFile(std::span<const uint8_t> file, const IconEntry& entry);

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// Pixels from the top row down, left to right.
struct IconBitmap {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    Rgba at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Decodes one icon image: a BITMAPINFOHEADER of 1, 4 or 8 bits per pixel with a palette, or 24 or
// 32 bits, followed by the colour rows and the transparency mask, both bottom row first. Masked
// pixels come out fully transparent; a 32-bit image with any alpha uses its own alpha instead.
std::optional<IconBitmap> decodeIconImage(std::span<const uint8_t> image, std::string& error);

}  // namespace ve::icons
