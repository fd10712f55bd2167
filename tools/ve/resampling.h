// Sample-rate conversion around the engines, for inputs at rates the engines are not tuned for.
//
// ResamplingSource converts the input to a supported rate on the way in; ResamplingSink converts
// the processed frames back to the input's rate on the way out, and makes the output exactly as
// long as the input. Both work block by block with fixed buffers.
#pragma once

#include <samplerate.h>

#include <vector>

#include "frame_stream.h"

namespace ve_cli {

class ResamplingSource final : public FrameSource {
  public:
    ResamplingSource(FrameSource& inner, int targetRate);
    ~ResamplingSource() override;
    ResamplingSource(const ResamplingSource&) = delete;
    ResamplingSource& operator=(const ResamplingSource&) = delete;

    const StreamShape& shape() const override { return shape_; }
    bool holdsEightBitSamples() const override { return false; }
    size_t read(int16_t* frames, size_t maxFrames) override;
    size_t read(uint8_t* frames, size_t maxFrames) override;
    int64_t framesRead() const override { return inner_.framesRead(); }

  private:
    FrameSource& inner_;
    StreamShape shape_;
    SRC_STATE* state_ = nullptr;
    double ratio_;
    std::vector<int16_t> innerFrames_;
    std::vector<float> pending_;  // converted input not yet taken by the converter
    size_t pendingOffset_ = 0;    // in frames
    size_t pendingFrames_ = 0;
    std::vector<float> converted_;
    bool innerEnded_ = false;
    bool finished_ = false;
};

class ResamplingSink final : public FrameSink {
  public:
    // Takes frames at fromRate and passes them to inner at toRate. The final length is set by
    // finishWithLength; finish() alone keeps whatever the converter produced.
    ResamplingSink(FrameSink& inner, int channels, int fromRate, int toRate);
    ~ResamplingSink() override;
    ResamplingSink(const ResamplingSink&) = delete;
    ResamplingSink& operator=(const ResamplingSink&) = delete;

    void write(const int16_t* frames, size_t count) override;
    void write(const uint8_t* frames, size_t count) override;
    void finish() override;
    // Flushes the converter, then cuts or pads with silence to exactly `frames` output frames.
    void finishWithLength(int64_t frames);

  private:
    void convert(const float* input, size_t frames, bool endOfInput, int64_t limit);
    void emit(const float* samples, size_t frames, int64_t limit);

    FrameSink& inner_;
    int channels_;
    SRC_STATE* state_ = nullptr;
    double ratio_;
    std::vector<float> input_;
    std::vector<float> converted_;
    std::vector<int16_t> output_;
    int64_t written_ = 0;
};

}  // namespace ve_cli
