#pragma once
// WAV files for the host-program tests, through libsndfile. Samples are interleaved.

#include <cstdint>
#include <string>
#include <vector>

namespace ve::lv2::testing {

struct Wav16 {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
};

struct WavFloat {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
};

// 16-bit PCM file.
void writeWav16(const std::string& path, int rate, int channels,
                const std::vector<int16_t>& samples);
// 32-bit float file.
void writeWavFloat(const std::string& path, int rate, int channels,
                   const std::vector<float>& samples);
// Reads a 16-bit PCM file without any conversion.
Wav16 readWav16(const std::string& path);
// Reads a 32-bit float file without any conversion.
WavFloat readWavFloat(const std::string& path);

}  // namespace ve::lv2::testing
