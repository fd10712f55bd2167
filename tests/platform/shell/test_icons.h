#pragma once
// Two small icons registered as resources 7001 and 7002 of the test program, written out byte by
// byte: 2 x 2 pixels, 4 bits per pixel, the standard 16 colours.

#include <cstdint>
#include <vector>

namespace ve::testing {

struct Pixel {
    uint8_t r, g, b, a;
    bool operator==(const Pixel&) const = default;
};

// The pixels of resource 7001 from the top row down: red, green / blue, transparent.
inline const Pixel kIcon7001[4] = {
    {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {0, 0, 0, 0}};

const std::vector<uint8_t>& iconFileOf(unsigned resource);

}  // namespace ve::testing
