// Headerless PCM on file descriptors: standard input and output in a pipeline such as
//   arecord -f S16_LE -r 44100 -c 2 | ve expand - - --raw s16 --rate 44100 --channels 2 | aplay ...
// A read returns as soon as at least one whole frame has arrived; the caller decides how many
// frames to gather before processing.
#pragma once

#include <string>
#include <vector>

#include "frame_stream.h"
#include "sample_formats.h"

namespace ve_cli {

class RawSource final : public FrameSource {
  public:
    // Reads from fd (owned when ownsFd). description names it in messages.
    RawSource(int fd, bool ownsFd, std::string description, RawSampleType type, int sampleRate,
              int channels);
    ~RawSource() override;
    RawSource(const RawSource&) = delete;
    RawSource& operator=(const RawSource&) = delete;

    const StreamShape& shape() const override { return shape_; }
    bool holdsEightBitSamples() const override { return type_ == RawSampleType::U8; }
    size_t read(int16_t* frames, size_t maxFrames) override;
    size_t read(uint8_t* frames, size_t maxFrames) override;
    int64_t framesRead() const override { return framesRead_; }

  private:
    // Waits for at least one whole frame; returns how many whole frames (at most maxFrames) are
    // ready at the front of bytes_.
    size_t fill(size_t maxFrames);
    void consume(size_t frames);

    int fd_;
    bool ownsFd_;
    std::string description_;
    RawSampleType type_;
    StreamShape shape_;
    size_t frameBytes_;
    std::vector<unsigned char> bytes_;
    size_t held_ = 0;  // bytes in bytes_, a partial frame possibly at the end
    int64_t framesRead_ = 0;
};

class RawSink final : public FrameSink {
  public:
    RawSink(int fd, std::string description, RawSampleType type, int channels);

    void write(const int16_t* frames, size_t count) override;
    void write(const uint8_t* frames, size_t count) override;
    void finish() override {}

  private:
    void writeAll(const unsigned char* bytes, size_t size);

    int fd_;
    std::string description_;
    RawSampleType type_;
    int channels_;
    std::vector<unsigned char> bytes_;
};

}  // namespace ve_cli
