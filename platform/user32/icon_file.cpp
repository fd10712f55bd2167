#include "platform/user32/icon_file.h"

namespace ve::icons {
namespace {

uint32_t read16(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
}

uint32_t read32(std::span<const uint8_t> bytes, size_t at) {
    return read16(bytes, at) | read16(bytes, at + 2) << 16;
}

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;

}  // namespace

std::optional<std::vector<IconEntry>> parseIconFile(std::span<const uint8_t> file,
                                                    std::string& error) {
    if (file.size() < kDirectorySize || read16(file, 0) != 0 || read16(file, 2) != 1) {
        error = "not an icon file (expected the header 00 00 01 00)";
        return std::nullopt;
    }
    size_t count = read16(file, 4);
    if (count == 0 || file.size() < kDirectorySize + count * kEntrySize) {
        error = count == 0 ? "icon file holds no image" : "icon file ends inside its directory";
        return std::nullopt;
    }
    std::vector<IconEntry> entries;
    for (size_t i = 0; i < count; ++i) {
        size_t at = kDirectorySize + i * kEntrySize;
        IconEntry entry;
        entry.width = file[at] == 0 ? 256 : file[at];
        entry.height = file[at + 1] == 0 ? 256 : file[at + 1];
        entry.bitCount = int(read16(file, at + 6));
        entry.size = read32(file, at + 8);
        entry.offset = read32(file, at + 12);
        if (entry.offset > file.size() || entry.size > file.size() - entry.offset ||
            entry.size == 0) {
            error = "icon image " + std::to_string(i + 1) + " lies outside the file";
            return std::nullopt;
        }
        entries.push_back(entry);
    }
    return entries;
}

size_t chooseIconEntry(const std::vector<IconEntry>& entries, int width, int height) {
    size_t best = 0;
    bool found = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].width != width || entries[i].height != height) continue;
        if (!found || entries[i].bitCount > entries[best].bitCount) best = i;
        found = true;
    }
    return best;
}

std::vector<uint8_t> singleImageIconFile(std::span<const uint8_t> file, const IconEntry& entry) {
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    out.push_back(uint8_t(entry.width == 256 ? 0 : entry.width));
    out.push_back(uint8_t(entry.height == 256 ? 0 : entry.height));
    int colours = entry.bitCount > 0 && entry.bitCount < 8 ? 1 << entry.bitCount : 0;
    out.push_back(uint8_t(colours));
    out.push_back(0);
    put16(out, 1);
    put16(out, uint32_t(entry.bitCount));
    put32(out, uint32_t(entry.size));
    put32(out, uint32_t(kDirectorySize + kEntrySize));
    out.insert(out.end(), file.begin() + std::ptrdiff_t(entry.offset),
               file.begin() + std::ptrdiff_t(entry.offset + entry.size));
    return out;
}

std::optional<IconBitmap> decodeIconImage(std::span<const uint8_t> image, std::string& error) {
    if (image.size() >= 8 && image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' &&
        image[3] == 'G') {
        error = "PNG-compressed icon images are not supported (expected a bitmap image)";
        return std::nullopt;
    }
    if (image.size() < kInfoHeaderSize || read32(image, 0) < kInfoHeaderSize) {
        error = "icon image too short for its bitmap header";
        return std::nullopt;
    }
    size_t headerSize = read32(image, 0);
    int32_t width = int32_t(read32(image, 4));
    int32_t doubledHeight = int32_t(read32(image, 8));
    uint32_t planes = read16(image, 12);
    uint32_t bitCount = read16(image, 14);
    uint32_t compression = read32(image, 16);
    uint32_t coloursUsed = read32(image, 32);
    if (width < 1 || width > 256 || doubledHeight < 2 || doubledHeight > 512 ||
        doubledHeight % 2 != 0 || planes != 1 || compression != 0) {
        error =
            "unsupported icon bitmap (expected 1 to 256 pixels a side, one plane, no compression)";
        return std::nullopt;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
        error = "unsupported icon colour depth " + std::to_string(bitCount) +
                " (expected 1, 4, 8, 24 or 32 bits per pixel)";
        return std::nullopt;
    }
    int height = doubledHeight / 2;
    size_t paletteSize = bitCount <= 8 ? (coloursUsed != 0 ? coloursUsed : 1u << bitCount) : 0;
    if (paletteSize > 256) {
        error = "icon palette larger than 256 colours";
        return std::nullopt;
    }
    size_t colourStride = (size_t(width) * bitCount + 31) / 32 * 4;
    size_t maskStride = (size_t(width) + 31) / 32 * 4;
    size_t paletteAt = headerSize;
    size_t colourAt = paletteAt + paletteSize * 4;
    size_t maskAt = colourAt + colourStride * size_t(height);
    size_t end = maskAt + maskStride * size_t(height);
    if (headerSize > image.size() || end > image.size()) {
        error = "icon image ends before its pixels and mask do";
        return std::nullopt;
    }

    IconBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.resize(size_t(width) * size_t(height));
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        size_t colourRow = colourAt + size_t(height - 1 - row) * colourStride;
        size_t maskRow = maskAt + size_t(height - 1 - row) * maskStride;
        for (int x = 0; x < width; ++x) {
            Rgba pixel{0, 0, 0, 255};
            if (bitCount <= 8) {
                size_t bit = size_t(x) * bitCount;
                uint32_t byte = image[colourRow + bit / 8];
                uint32_t index = (byte >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
                if (index < paletteSize) {
                    size_t entry = paletteAt + index * 4;
                    pixel = {image[entry + 2], image[entry + 1], image[entry], 255};
                }
            } else {
                size_t at = colourRow + size_t(x) * (bitCount / 8);
                pixel = {image[at + 2], image[at + 1], image[at],
                         uint8_t(bitCount == 32 ? image[at + 3] : 255)};
                if (bitCount == 32 && image[at + 3] != 0) anyAlpha = true;
            }
            bool masked = (image[maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1;
            if (bitCount != 32) pixel.a = masked ? 0 : 255;
            bitmap.pixels[size_t(row) * size_t(width) + size_t(x)] = pixel;
        }
    }
    // A 32-bit image without any alpha leans on its mask like the others.
    if (bitCount == 32 && !anyAlpha) {
        for (int row = 0; row < height; ++row) {
            size_t maskRow = maskAt + size_t(height - 1 - row) * maskStride;
            for (int x = 0; x < width; ++x) {
                bool masked = (image[maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1;
                bitmap.pixels[size_t(row) * size_t(width) + size_t(x)].a = masked ? 0 : 255;
            }
        }
    }
    return bitmap;
}

}  // namespace ve::icons
