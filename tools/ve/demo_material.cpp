#include "demo_material.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace ve_cli {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Constant-power panning: position -1 is hard left, 0 the middle, +1 hard right.
void pan(double sample, double position, double* frame) {
    double angle = (position + 1.0) * std::numbers::pi / 4.0;
    frame[0] += sample * std::cos(angle);
    frame[1] += sample * std::sin(angle);
}

// A sawtooth-like tone with only the harmonics below 90% of the Nyquist frequency.
double bandLimitedTone(double frequency, double time, int sampleRate) {
    double sum = 0;
    for (int k = 1; k <= 6 && k * frequency < 0.45 * sampleRate; ++k)
        sum += std::sin(kTwoPi * k * frequency * time) / k;
    return sum;
}

}  // namespace

double NoiseGenerator::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
}

SynthesisedSource::SynthesisedSource(int sampleRate, int channels, double seconds) {
    shape_.sampleRate = sampleRate;
    shape_.channels = channels;
    shape_.frames = std::llround(seconds * sampleRate);
}

size_t SynthesisedSource::read(int16_t* frames, size_t maxFrames) {
    size_t count = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(maxFrames), shape_.frames - position_));
    size_t channels = static_cast<size_t>(shape_.channels);
    for (size_t i = 0; i < count; ++i) {
        double frame[2] = {0, 0};
        synthesise(position_ + static_cast<int64_t>(i), frame);
        for (size_t c = 0; c < channels; ++c) {
            double scaled = std::nearbyint(std::clamp(frame[c], -1.0, 1.0) * 32767.0);
            frames[i * channels + c] = static_cast<int16_t>(scaled);
        }
    }
    position_ += static_cast<int64_t>(count);
    return count;
}

size_t SynthesisedSource::read(uint8_t*, size_t) {
    throw std::logic_error("synthesised material is 16-bit");
}

StereoMix::StereoMix(int sampleRate, double seconds) : SynthesisedSource(sampleRate, 2, seconds) {}

void StereoMix::synthesise(int64_t position, double* frame) {
    const int rate = shape().sampleRate;
    const double time = static_cast<double>(position) / rate;

    // A minor chord with an added octave, each note slightly off the middle and swelling slowly.
    constexpr double kNotes[4] = {220.0, 261.63, 329.63, 440.0};
    constexpr double kPositions[4] = {-0.3, -0.1, 0.15, 0.3};
    for (int voice = 0; voice < 4; ++voice) {
        double swell = 0.6 + 0.4 * std::sin(kTwoPi * 0.25 * time + voice);
        pan(0.08 * swell * bandLimitedTone(kNotes[voice], time, rate), kPositions[voice], frame);
    }

    // Bass in the middle, pulsing twice a second.
    double pulse = 0.5 + 0.5 * std::cos(kTwoPi * 2.0 * time);
    pan(0.2 * pulse * std::sin(kTwoPi * 110.0 * time), 0.0, frame);

    // A noise burst every quarter second, alternating a little left and right.
    const int64_t beat = rate / 4;
    const int64_t sinceBeat = position % beat;
    double burst = 0.2 * std::exp(-static_cast<double>(sinceBeat) / (0.03 * rate)) * noise_.next();
    pan(burst, (position / beat) % 2 == 0 ? -0.25 : 0.25, frame);
}

MonoMelody::MonoMelody(int sampleRate, double seconds)
    : SynthesisedSource(sampleRate, 1, seconds) {}

void MonoMelody::pluck(double frequency) {
    stringLength_ = std::clamp<size_t>(
        static_cast<size_t>(std::lround(shape().sampleRate / frequency)), 2, string_.size());
    for (size_t i = 0; i < stringLength_; ++i) string_[i] = noise_.next();
    stringIndex_ = 0;
}

void MonoMelody::synthesise(int64_t position, double* frame) {
    const int rate = shape().sampleRate;
    if (position == nextNote_) {
        // A pentatonic tune, one note every 0.3 seconds.
        constexpr double kScale[8] = {220.0, 261.63, 293.66, 329.63, 392.0, 440.0, 392.0, 293.66};
        pluck(kScale[noteNumber_ % 8]);
        ++noteNumber_;
        nextNote_ += std::lround(0.3 * rate);
    }
    // Karplus-Strong: the delay line's averaged output feeds back, a plucked string's decay.
    size_t next = (stringIndex_ + 1) % stringLength_;
    double out = string_[stringIndex_];
    string_[stringIndex_] = 0.996 * 0.5 * (string_[stringIndex_] + string_[next]);
    stringIndex_ = next;

    double time = static_cast<double>(position) / rate;
    double drone =
        0.08 * std::sin(kTwoPi * 110.0 * time) * (0.7 + 0.3 * std::sin(kTwoPi * 0.5 * time));
    frame[0] = 0.45 * out + drone;
}

}  // namespace ve_cli
