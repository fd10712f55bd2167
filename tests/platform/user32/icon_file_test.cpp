// Icon files: parsing the directory and decoding the images, good and bad.

#include "platform/user32/icon_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace ve::testing {
namespace {

using icons::Rgba;

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A 4 x 2 icon, written out byte by byte: 4 bits per pixel, palette black, red, green, blue;
// top row red green blue black, bottom row blue blue red red; the bottom-right pixel masked.
std::vector<uint8_t> tinyIcon(uint16_t bitCount = 4) {
    std::vector<uint8_t> image;
    put32(image, 40);
    put32(image, 4);
    put32(image, 4);  // twice the height
    put16(image, 1);
    put16(image, bitCount);
    for (int i = 0; i < 6; ++i) put32(image, 0);
    for (uint32_t colour : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) {
        image.insert(image.end(),
                     {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16), 0});
    }
    for (int i = 4; i < 16; ++i) put32(image, 0);  // the rest of the 16 colours
    // Colour rows, bottom first, each padded to four bytes.
    image.insert(image.end(), {0x33, 0x11, 0, 0});
    image.insert(image.end(), {0x12, 0x30, 0, 0});
    // Mask rows, bottom first: bottom-right pixel (x = 3) set.
    image.insert(image.end(), {0x10, 0, 0, 0});
    image.insert(image.end(), {0x00, 0, 0, 0});

    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, 1);
    file.insert(file.end(), {4, 2, 16, 0});
    put16(file, 1);
    put16(file, bitCount);
    put32(file, uint32_t(image.size()));
    put32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

std::optional<icons::IconBitmap> decode(const std::vector<uint8_t>& file, std::string& error) {
    auto entries = icons::parseIconFile(file, error);
    if (!entries) return std::nullopt;
    return icons::decodeIconImage(
        std::span<const uint8_t>(file.data() + entries->at(0).offset, entries->at(0).size), error);
}

TEST(IconFile, DecodesAPalettedImageWithItsMask) {
    std::string error;
    auto file = tinyIcon();
    auto entries = icons::parseIconFile(file, error);
    ASSERT_TRUE(entries) << error;
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].width, 4);
    EXPECT_EQ((*entries)[0].height, 2);
    EXPECT_EQ((*entries)[0].bitCount, 4);
    auto bitmap = decode(file, error);
    ASSERT_TRUE(bitmap) << error;
    const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
        black{0, 0, 0, 255};
    EXPECT_EQ(bitmap->pixels,
              (std::vector<Rgba>{red, green, blue, black, blue, blue, red, Rgba{255, 0, 0, 0}}));
}

TEST(IconFile, SingleImageFileKeepsTheImage) {
    auto file = tinyIcon();
    std::string error;
    auto entries = icons::parseIconFile(file, error);
    auto single = icons::singleImageIconFile(file, entries->at(0));
    EXPECT_EQ(single, file);
}

TEST(IconFile, RefusesWhatIsNoIcon) {
    std::string error;
    EXPECT_FALSE(icons::parseIconFile(std::vector<uint8_t>{0, 0, 2, 0, 1, 0}, error));
    EXPECT_NE(error.find("not an icon file"), std::string::npos);

    auto outside = tinyIcon();
    outside[18] = 0xFF;  // offset far past the end
    EXPECT_FALSE(icons::parseIconFile(outside, error));
    EXPECT_NE(error.find("outside the file"), std::string::npos);

    auto deep = tinyIcon(16);
    EXPECT_FALSE(decode(deep, error));
    EXPECT_NE(error.find("colour depth 16"), std::string::npos);

    auto png = tinyIcon();
    png[22] = 0x89, png[23] = 'P', png[24] = 'N', png[25] = 'G';
    EXPECT_FALSE(decode(png, error));
    EXPECT_NE(error.find("PNG"), std::string::npos);
}

TEST(IconFile, EveryTruncationIsRefusedOrDecodedSafely) {
    auto file = tinyIcon();
    for (size_t length = 0; length < file.size(); ++length) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
        std::string error;
        // The directory still claims the full image, so every cut must be refused.
        EXPECT_FALSE(decode(cut, error)) << length;
        EXPECT_FALSE(error.empty()) << length;
    }
}

}  // namespace
}  // namespace ve::testing
