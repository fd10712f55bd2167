#include "test_icons.h"

#include <iterator>

#include "platform/user32/resources.h"

namespace ve::testing {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Palette indices: 9 red, 10 green, 12 blue; the fourth pixel is masked.
std::vector<uint8_t> makeIcon(uint8_t topLeft, uint8_t topRight, uint8_t bottomLeft) {
    static const uint32_t palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                         0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                         0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::vector<uint8_t> image;
    put32(image, 40);
    put32(image, 2);
    put32(image, 4);
    put16(image, 1);
    put16(image, 4);
    for (int i = 0; i < 6; ++i) put32(image, 0);
    for (uint32_t c : palette)
        image.insert(image.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
    image.insert(image.end(), {uint8_t(bottomLeft << 4), 0, 0, 0});          // bottom row
    image.insert(image.end(), {uint8_t(topLeft << 4 | topRight), 0, 0, 0});  // top row
    image.insert(image.end(), {0x40, 0, 0, 0});                              // bottom-right masked
    image.insert(image.end(), {0x00, 0, 0, 0});
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, 1);
    file.insert(file.end(), {2, 2, 16, 0});
    put16(file, 1);
    put16(file, 4);
    put32(file, uint32_t(image.size()));
    put32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

const std::vector<uint8_t> icon7001 = makeIcon(9, 10, 12);
const std::vector<uint8_t> icon7002 = makeIcon(15, 15, 15);

const resources::Resource testResources[] = {
    {resources::ResourceType::Icon, 7001, icon7001.data(), icon7001.size()},
    {resources::ResourceType::Icon, 7002, icon7002.data(), icon7002.size()},
};
const resources::ResourceTable table(testResources, std::size(testResources));

}  // namespace

const std::vector<uint8_t>& iconFileOf(unsigned resource) {
    return resource == 7001 ? icon7001 : icon7002;
}

}  // namespace ve::testing
