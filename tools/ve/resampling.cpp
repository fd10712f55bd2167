#include "resampling.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "errors.h"

namespace ve_cli {
namespace {

// Good enough to be inaudible for music, fast enough for real-time streams.
constexpr int kConverter = SRC_SINC_MEDIUM_QUALITY;
constexpr size_t kInputBlock = 1024;
// The converter wants a valid pointer even when it is only asked to flush.
const float kNoInput = 0.0f;

SRC_STATE* newConverter(int channels) {
    int error = 0;
    SRC_STATE* state = src_new(kConverter, channels, &error);
    if (!state)
        throw ToolError(
            fmt::format("cannot start the sample-rate converter: {}", src_strerror(error)));
    return state;
}

[[noreturn]] void converterFailed(int error) {
    throw ToolError(fmt::format("sample-rate conversion failed: {}", src_strerror(error)));
}

void toFloat(const int16_t* in, float* out, size_t samples) {
    for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(in[i]) * (1.0f / 32768.0f);
}

void toShort(const float* in, int16_t* out, size_t samples) {
    for (size_t i = 0; i < samples; ++i) {
        float scaled = std::nearbyint(in[i] * 32768.0f);
        out[i] = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
}

}  // namespace

ResamplingSource::ResamplingSource(FrameSource& inner, int targetRate)
    : inner_(inner), ratio_(static_cast<double>(targetRate) / inner.shape().sampleRate) {
    shape_ = inner.shape();
    shape_.sampleRate = targetRate;
    if (shape_.frames != kUnknownLength)
        shape_.frames = std::llround(static_cast<double>(shape_.frames) * ratio_);
    state_ = newConverter(shape_.channels);
    size_t channels = static_cast<size_t>(shape_.channels);
    innerFrames_.resize(kInputBlock * channels);
    pending_.resize(kInputBlock * channels);
}

ResamplingSource::~ResamplingSource() {
    src_delete(state_);
}

size_t ResamplingSource::read(int16_t* frames, size_t maxFrames) {
    size_t channels = static_cast<size_t>(shape_.channels);
    if (converted_.size() < maxFrames * channels) converted_.resize(maxFrames * channels);
    while (!finished_) {
        if (pendingFrames_ == 0 && !innerEnded_) {
            size_t got = inner_.read(innerFrames_.data(), kInputBlock);
            innerEnded_ = got == 0;
            toFloat(innerFrames_.data(), pending_.data(), got * channels);
            pendingOffset_ = 0;
            pendingFrames_ = got;
        }
        SRC_DATA data{};
        data.data_in = pending_.data() + pendingOffset_ * channels;
        data.input_frames = static_cast<long>(pendingFrames_);
        data.data_out = converted_.data();
        data.output_frames = static_cast<long>(maxFrames);
        data.end_of_input = innerEnded_ ? 1 : 0;
        data.src_ratio = ratio_;
        if (int error = src_process(state_, &data)) converterFailed(error);
        pendingOffset_ += static_cast<size_t>(data.input_frames_used);
        pendingFrames_ -= static_cast<size_t>(data.input_frames_used);
        size_t produced = static_cast<size_t>(data.output_frames_gen);
        if (produced > 0) {
            toShort(converted_.data(), frames, produced * channels);
            return produced;
        }
        if (innerEnded_ && pendingFrames_ == 0) finished_ = true;
    }
    return 0;
}

size_t ResamplingSource::read(uint8_t*, size_t) {
    throw std::logic_error("resampled streams are processed at 16 bits");
}

ResamplingSink::ResamplingSink(FrameSink& inner, int channels, int fromRate, int toRate)
    : inner_(inner), channels_(channels), ratio_(static_cast<double>(toRate) / fromRate) {
    state_ = newConverter(channels);
}

ResamplingSink::~ResamplingSink() {
    src_delete(state_);
}

void ResamplingSink::emit(const float* samples, size_t frames, int64_t limit) {
    frames = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(frames), std::max<int64_t>(limit - written_, 0)));
    if (frames == 0) return;
    size_t count = frames * static_cast<size_t>(channels_);
    if (output_.size() < count) output_.resize(count);
    toShort(samples, output_.data(), count);
    inner_.write(output_.data(), frames);
    written_ += static_cast<int64_t>(frames);
}

void ResamplingSink::convert(const float* input, size_t frames, bool endOfInput, int64_t limit) {
    size_t channels = static_cast<size_t>(channels_);
    double largestInput = static_cast<double>(std::max<size_t>(frames, kInputBlock));
    size_t room = static_cast<size_t>(std::ceil(largestInput * ratio_)) + 64;
    if (converted_.size() < room * channels) converted_.resize(room * channels);
    for (;;) {
        SRC_DATA data{};
        data.data_in = input;
        data.input_frames = static_cast<long>(frames);
        data.data_out = converted_.data();
        data.output_frames = static_cast<long>(room);
        data.end_of_input = endOfInput ? 1 : 0;
        data.src_ratio = ratio_;
        if (int error = src_process(state_, &data)) converterFailed(error);
        emit(converted_.data(), static_cast<size_t>(data.output_frames_gen), limit);
        input += static_cast<size_t>(data.input_frames_used) * channels;
        frames -= static_cast<size_t>(data.input_frames_used);
        if (frames == 0 && (!endOfInput || data.output_frames_gen == 0)) return;
        if (data.input_frames_used == 0 && data.output_frames_gen == 0)
            throw std::logic_error("sample-rate converter made no progress");
    }
}

void ResamplingSink::write(const int16_t* frames, size_t count) {
    size_t samples = count * static_cast<size_t>(channels_);
    if (input_.size() < samples) input_.resize(samples);
    toFloat(frames, input_.data(), samples);
    convert(input_.data(), count, false, std::numeric_limits<int64_t>::max());
}

void ResamplingSink::write(const uint8_t*, size_t) {
    throw std::logic_error("resampled streams are processed at 16 bits");
}

void ResamplingSink::finish() {
    convert(&kNoInput, 0, true, std::numeric_limits<int64_t>::max());
    inner_.finish();
}

void ResamplingSink::finishWithLength(int64_t frames) {
    convert(&kNoInput, 0, true, frames);
    size_t channels = static_cast<size_t>(channels_);
    std::vector<float> silence(kInputBlock * channels, 0.0f);
    while (written_ < frames) emit(silence.data(), kInputBlock, frames);
    inner_.finish();
}

}  // namespace ve_cli
