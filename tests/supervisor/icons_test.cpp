// The supervisor's tray icons as loaded from its resources: 32 x 32, 16 colours, drawn as the
// three states need them.

#include "platform/user32/icons.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/user32/icon_file.h"
#include "platform/user32/resources.h"
#include "platform/user32/winuser.h"
#include "supervisor/ko.h"

namespace ve::testing {
namespace {

using icons::Rgba;

constexpr Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kLightGrey{192, 192, 192, 255},
    kDarkGrey{128, 128, 128, 255}, kRed{255, 0, 0, 255};

struct LoadedIcon {
    std::vector<icons::IconEntry> entries;
    icons::IconBitmap bitmap;
};

LoadedIcon load(int resource) {
    HICON handle = LoadIconA(resources::programInstance(), MAKEINTRESOURCE(resource));
    EXPECT_NE(handle, nullptr);
    auto description = user::describeIcon(handle);
    EXPECT_TRUE(description);
    std::string error;
    auto entries = icons::parseIconFile(description->iconFile, error);
    EXPECT_TRUE(entries) << error;
    const auto& entry = entries->at(0);
    auto bitmap = icons::decodeIconImage(
        std::span<const uint8_t>(description->iconFile.data() + entry.offset, entry.size), error);
    EXPECT_TRUE(bitmap) << error;
    DestroyIcon(handle);
    return {*entries, *bitmap};
}

std::set<uint32_t> colours(const icons::IconBitmap& bitmap) {
    std::set<uint32_t> found;
    for (const Rgba& p : bitmap.pixels)
        found.insert(uint32_t(p.r) << 24 | p.g << 16 | p.b << 8 | p.a);
    return found;
}

uint32_t key(Rgba p) {
    return uint32_t(p.r) << 24 | p.g << 16 | p.b << 8 | p.a;
}

TEST(SupervisorIcons, AreOpaque32By32SixteenColourImages) {
    for (int resource : {IDI_SWITCH40_OFF, IDI_SWITCH40_ON, IDI_DISCONNECTED}) {
        LoadedIcon icon = load(resource);
        ASSERT_EQ(icon.entries.size(), 1u);
        EXPECT_EQ(icon.entries[0].width, 32) << resource;
        EXPECT_EQ(icon.entries[0].height, 32) << resource;
        EXPECT_EQ(icon.entries[0].bitCount, 4) << resource;
        for (const Rgba& p : icon.bitmap.pixels) ASSERT_EQ(p.a, 255) << resource;
    }
}

TEST(SupervisorIcons, ShowOneMarkLightOnBlackThenGreyOnGreyThenCrossedOutInRed) {
    LoadedIcon off = load(803), on = load(804), disconnected = load(805);

    // 803: a light mark on black, covering a fair part of the icon but not most of it.
    EXPECT_EQ(colours(off.bitmap), (std::set<uint32_t>{key(kBlack), key(kWhite)}));
    size_t markPixels = 0;
    for (const Rgba& p : off.bitmap.pixels) markPixels += p == kWhite;
    EXPECT_GT(markPixels, 100u);
    EXPECT_LT(markPixels, 600u);

    // 804: the same mark, light grey on dark grey.
    EXPECT_EQ(colours(on.bitmap), (std::set<uint32_t>{key(kDarkGrey), key(kLightGrey)}));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(on.bitmap.at(x, y) == kLightGrey, off.bitmap.at(x, y) == kWhite)
                << x << "," << y;

    // 805: 804 with red along both diagonals, and nowhere else.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            Rgba p = disconnected.bitmap.at(x, y);
            bool nearDiagonal = std::abs(x - y) <= 2 || std::abs(x + y - 31) <= 2;
            if (p == kRed)
                ASSERT_TRUE(nearDiagonal) << x << "," << y;
            else
                ASSERT_EQ(p, on.bitmap.at(x, y)) << x << "," << y;
        }
    }
    for (auto [x, y] :
         {std::pair{0, 0}, {31, 31}, {31, 0}, {0, 31}, {15, 15}, {16, 15}, {8, 8}, {23, 8}})
        EXPECT_EQ(disconnected.bitmap.at(x, y), kRed) << x << "," << y;
}

}  // namespace
}  // namespace ve::testing
