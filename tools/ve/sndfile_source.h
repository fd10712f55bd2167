// Frames from an audio file (or a stream libsndfile can read from a pipe) through libsndfile.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

#include "frame_stream.h"

namespace ve_cli {

class SndfileSource final : public FrameSource {
  public:
    // "-" reads standard input. Throws ToolError when the input is missing, unreadable, not audio,
    // or visibly truncated (its header promises more data than the file holds).
    explicit SndfileSource(const std::string& path);
    ~SndfileSource() override;
    SndfileSource(const SndfileSource&) = delete;
    SndfileSource& operator=(const SndfileSource&) = delete;

    const StreamShape& shape() const override { return shape_; }
    bool holdsEightBitSamples() const override;
    size_t read(int16_t* frames, size_t maxFrames) override;
    size_t read(uint8_t* frames, size_t maxFrames) override;
    int64_t framesRead() const override { return framesRead_; }

    bool holdsSixteenBitSamples() const;
    int format() const { return format_; }  // libsndfile format word
    SNDFILE* handle() const { return file_; }
    // "input 'name'" or "standard input", for messages.
    const std::string& description() const { return description_; }

  private:
    void inspect(const SF_INFO& info);
    size_t readShorts(int16_t* dest, size_t maxFrames);
    void checkForErrors();
    void checkComplete();

    SNDFILE* file_ = nullptr;
    std::string description_;
    StreamShape shape_;
    int format_ = 0;
    bool lengthPromised_ = false;  // the header states a real length we must get to
    int64_t framesRead_ = 0;
    std::vector<int16_t> shorts_;
    std::vector<float> floats_;
};

}  // namespace ve_cli
