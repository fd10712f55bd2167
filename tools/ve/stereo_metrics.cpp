#include "stereo_metrics.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "sndfile_source.h"

namespace ve_cli {
namespace {

double toDb(double ratio) {
    return ratio > 0 ? 10.0 * std::log10(ratio) : -std::numeric_limits<double>::infinity();
}

}  // namespace

void StereoMeter::add(const int16_t* frames, size_t count) {
    size_t step = static_cast<size_t>(channels_);
    for (size_t i = 0; i < count; ++i) {
        const int16_t* frame = frames + i * step;
        for (size_t c = 0; c < step; ++c) {
            int magnitude = std::abs(static_cast<int>(frame[c]));
            if (magnitude > peak_) peak_ = magnitude;
            sumSquares_ += static_cast<double>(frame[c]) * frame[c];
        }
        double left = frame[0];
        double right = channels_ >= 2 ? frame[1] : frame[0];
        sumLeft2_ += left * left;
        sumRight2_ += right * right;
        sumLeftRight_ += left * right;
        double mid = 0.5 * (left + right);
        double side = 0.5 * (left - right);
        sumMid2_ += mid * mid;
        sumSide2_ += side * side;
    }
    frames_ += static_cast<int64_t>(count);
}

StereoMeasurement StereoMeter::result() const {
    StereoMeasurement m;
    m.channels = channels_;
    m.frames = frames_;
    double samples = static_cast<double>(frames_) * channels_;
    m.peakDbfs = 2.0 * toDb(peak_ / 32768.0);
    m.rmsDbfs = samples > 0 ? toDb(sumSquares_ / samples / (32768.0 * 32768.0))
                            : -std::numeric_limits<double>::infinity();
    m.sideToMidDb = sumMid2_ > 0 ? toDb(sumSide2_ / sumMid2_)
                                 : (sumSide2_ > 0 ? std::numeric_limits<double>::infinity()
                                                  : -std::numeric_limits<double>::infinity());
    double norm = std::sqrt(sumLeft2_ * sumRight2_);
    m.correlation = norm > 0 ? sumLeftRight_ / norm : 1.0;
    return m;
}

StereoMeasurement measureFile(const std::string& path) {
    SndfileSource source(path);
    StereoMeter meter(source.shape().channels);
    constexpr size_t kBlock = 4096;
    std::vector<int16_t> block(kBlock * static_cast<size_t>(source.shape().channels));
    while (size_t frames = source.read(block.data(), kBlock)) meter.add(block.data(), frames);
    return meter.result();
}

}  // namespace ve_cli
