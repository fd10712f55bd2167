// Draws the supervisor's three tray icons as 32 x 32, 16-colour icon files:
//   ko803.ico  the light mark on black             (switch 0x40 off)
//   ko804.ico  the same mark in grey on grey       (switch 0x40 on)
//   ko805.ico  the grey mark crossed out in red    (not connected)
// The mark is two interlocking rings, the left and right channel widened apart.
//
//   ko_draw_icons OUTPUT_DIRECTORY

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

// The standard 16-colour palette, as red, green, blue.
constexpr uint8_t kPalette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};
constexpr uint8_t kBlack = 0, kLightGrey = 7, kDarkGrey = 8, kRed = 9, kWhite = 15;

using Image = std::vector<uint8_t>;  // palette indices, top row first

// Two rings of outer radius 8.5 and inner radius 6, their centres 7 pixels apart.
bool isMark(int x, int y) {
    auto onRing = [&](double cx) {
        double d = std::hypot(x + 0.5 - cx, y + 0.5 - 16.0);
        return d >= 6.0 && d <= 8.5;
    };
    return onRing(12.5) || onRing(19.5);
}

// The two diagonals, three pixels wide.
bool isCross(int x, int y) {
    return std::abs(x - y) <= 1 || std::abs(x + y - (kSize - 1)) <= 1;
}

Image draw(uint8_t background, uint8_t mark, bool crossed) {
    Image image(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            image[y * kSize + x] = crossed && isCross(x, y) ? kRed
                                   : isMark(x, y)           ? mark
                                                            : background;
    return image;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// An icon file with one 4-bit image: directory, bitmap header, palette, colour rows and an
// all-opaque mask, rows bottom first.
std::vector<uint8_t> iconFile(const Image& image) {
    const uint32_t colourBytes = kSize * kSize / 2;
    const uint32_t maskBytes = kSize * kSize / 8;
    const uint32_t imageBytes = 40 + 16 * 4 + colourBytes + maskBytes;
    std::vector<uint8_t> out;
    put16(out, 0);  // reserved
    put16(out, 1);  // icon
    put16(out, 1);  // one image
    out.insert(out.end(), {uint8_t(kSize), uint8_t(kSize), 16, 0});
    put16(out, 1);  // planes
    put16(out, 4);  // bits per pixel
    put32(out, imageBytes);
    put32(out, 6 + 16);
    put32(out, 40);
    put32(out, kSize);
    put32(out, 2 * kSize);  // colour rows and mask rows
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);  // no compression
    put32(out, colourBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (const auto& colour : kPalette) out.insert(out.end(), {colour[2], colour[1], colour[0], 0});
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; x += 2)
            out.push_back(uint8_t(image[y * kSize + x] << 4 | image[y * kSize + x + 1]));
    out.insert(out.end(), maskBytes, 0);
    return out;
}

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ko_draw_icons OUTPUT_DIRECTORY\n");
        return 2;
    }
    std::string dir = argv[1];
    const struct {
        const char* name;
        Image image;
    } icons[] = {
        {"ko803.ico", draw(kBlack, kWhite, false)},
        {"ko804.ico", draw(kDarkGrey, kLightGrey, false)},
        {"ko805.ico", draw(kDarkGrey, kLightGrey, true)},
    };
    for (const auto& icon : icons) {
        if (!write(dir + "/" + icon.name, iconFile(icon.image))) {
            std::fprintf(stderr, "ko_draw_icons: cannot write %s/%s\n", dir.c_str(), icon.name);
            return 1;
        }
    }
    return 0;
}
