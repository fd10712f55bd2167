// Where frames come from and where they go.
//
// A source delivers interleaved frames either as 16-bit signed samples or, when it holds 8-bit
// samples, as 8-bit unsigned ones (0x80 = silence), the two forms the engines process. Sinks take
// either form and convert to their own encoding. Every read and write works on caller buffers of
// at most one block, so memory stays constant however long the stream is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ve_cli {

inline constexpr int64_t kUnknownLength = -1;

struct StreamShape {
    int sampleRate = 0;
    int channels = 0;
    int64_t frames = kUnknownLength;  // known for seekable files
};

class FrameSource {
  public:
    virtual ~FrameSource() = default;
    virtual const StreamShape& shape() const = 0;
    // True when the samples are 8-bit, so that read(uint8_t*) passes them on unchanged.
    virtual bool holdsEightBitSamples() const = 0;
    // Reads up to maxFrames frames; returns how many, 0 at the end. Throws ToolError on a read
    // error or a truncated or corrupt stream.
    virtual size_t read(int16_t* frames, size_t maxFrames) = 0;
    // Only for sources that hold 8-bit samples.
    virtual size_t read(uint8_t* frames, size_t maxFrames) = 0;
    // Frames delivered so far, at the source's own rate.
    virtual int64_t framesRead() const = 0;
};

class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // Throw ToolError when the data cannot be written (full disk, closed pipe, ...).
    virtual void write(const int16_t* frames, size_t count) = 0;
    virtual void write(const uint8_t* frames, size_t count) = 0;
    // Flushes everything still held; the sink is complete afterwards.
    virtual void finish() = 0;
};

// Conversions between the two sample forms. 8-bit sample b stands for (b - 128) * 256.
inline int16_t widenSample(uint8_t sample) {
    return static_cast<int16_t>((static_cast<int>(sample) - 128) * 256);
}
// Rounds to the nearest 8-bit step, saturating at the ends.
inline uint8_t narrowSample(int16_t sample) {
    int rounded = (static_cast<int>(sample) + 128) >> 8;
    if (rounded > 127) rounded = 127;
    return static_cast<uint8_t>(rounded + 128);
}

}  // namespace ve_cli
