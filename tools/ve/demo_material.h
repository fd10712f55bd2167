// Synthetic test material for ve demo, generated block by block.
//
// StereoMix is a small band (a four-note chord voiced slightly left and right, a bass in the
// middle, percussion bursts alternating a little to each side): a typical, fairly narrow stereo
// image for the expander to widen. MonoMelody is a plucked-string tune over a soft drone, the
// kind of mono recording mono-to-stereo is for. Both are deterministic.
#pragma once

#include <array>
#include <cstdint>

#include "frame_stream.h"

namespace ve_cli {

// A small deterministic noise generator (xorshift32), so the material is the same everywhere.
class NoiseGenerator {
  public:
    explicit NoiseGenerator(uint32_t seed) : state_(seed) {}
    // Uniform in [-1, 1).
    double next();

  private:
    uint32_t state_;
};

// Base for the generators: 16-bit frames of a known length.
class SynthesisedSource : public FrameSource {
  public:
    SynthesisedSource(int sampleRate, int channels, double seconds);
    const StreamShape& shape() const override { return shape_; }
    bool holdsEightBitSamples() const override { return false; }
    size_t read(int16_t* frames, size_t maxFrames) override;
    size_t read(uint8_t* frames, size_t maxFrames) override;
    int64_t framesRead() const override { return position_; }

  protected:
    // Writes one frame at the given position, in full-scale units (1.0 = 0 dBFS).
    virtual void synthesise(int64_t position, double* frame) = 0;

  private:
    StreamShape shape_;
    int64_t position_ = 0;
};

class StereoMix final : public SynthesisedSource {
  public:
    StereoMix(int sampleRate, double seconds);

  protected:
    void synthesise(int64_t position, double* frame) override;

  private:
    NoiseGenerator noise_{0x2545F491u};
};

class MonoMelody final : public SynthesisedSource {
  public:
    MonoMelody(int sampleRate, double seconds);

  protected:
    void synthesise(int64_t position, double* frame) override;

  private:
    void pluck(double frequency);

    NoiseGenerator noise_{0x9E3779B9u};
    std::array<double, 2048> string_{};  // Karplus-Strong delay line
    size_t stringLength_ = 0;
    size_t stringIndex_ = 0;
    int64_t nextNote_ = 0;
    int noteNumber_ = 0;
};

}  // namespace ve_cli
