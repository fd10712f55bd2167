// What the library itself gives for a whole signal, called directly through the public API: the
// reference that ve's file and stream processing must match. `block` is the number of frames per
// call (the whole signal in one call by default; the library splits a call into blocks of 1024,
// so that equals ve's default --block 1024).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ve_test {

struct ExpanderParameters {
    float spreadDb = 0, centerDb = 0, scaleLeftDb = 0, scaleRightDb = 0;
    int delayLeft = 0, delayRight = 0;
};

inline constexpr size_t kWholeSignal = 0;

std::vector<int16_t> libraryExpand(const std::vector<int16_t>& stereo, int sampleRate,
                                   unsigned flags, const ExpanderParameters& parameters = {},
                                   size_t block = kWholeSignal);
std::vector<uint8_t> libraryExpand(const std::vector<uint8_t>& stereo, int sampleRate,
                                   unsigned flags, const ExpanderParameters& parameters = {},
                                   size_t block = kWholeSignal);
std::vector<int16_t> libraryMonoToStereo(const std::vector<int16_t>& mono, int sampleRate,
                                         unsigned flags, size_t block = kWholeSignal);
std::vector<uint8_t> libraryMonoToStereo(const std::vector<uint8_t>& mono, int sampleRate,
                                         unsigned flags, size_t block = kWholeSignal);

}  // namespace ve_test
