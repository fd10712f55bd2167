// Level and stereo-width measurements for the demo summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ve_cli {

struct StereoMeasurement {
    int channels = 0;
    int64_t frames = 0;
    double peakDbfs = 0;  // highest sample magnitude, 0 dB = full scale; -inf for silence
    double rmsDbfs = 0;   // over all samples of all channels
    // Energy of the side signal (L - R) / 2 over that of the mid signal (L + R) / 2, in dB:
    // -inf for mono, 0 dB when the image is as wide as it is deep.
    double sideToMidDb = 0;
    // sum(L R) / sqrt(sum(L^2) sum(R^2)): 1 for mono, near 0 for unrelated channels, negative
    // for channels in opposite phase.
    double correlation = 1;
};

// Accumulates frames block by block, so any length costs constant memory. Mono counts as a
// stereo signal with identical channels.
class StereoMeter {
  public:
    explicit StereoMeter(int channels) : channels_(channels) {}
    void add(const int16_t* frames, size_t count);
    StereoMeasurement result() const;

  private:
    int channels_;
    int64_t frames_ = 0;
    int peak_ = 0;
    double sumSquares_ = 0;
    double sumLeft2_ = 0, sumRight2_ = 0, sumLeftRight_ = 0;
    double sumMid2_ = 0, sumSide2_ = 0;
};

// Measures a whole audio file. Throws ToolError if it cannot be read.
StereoMeasurement measureFile(const std::string& path);

}  // namespace ve_cli
