#include "raw_stream.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "errors.h"

namespace ve_cli {

RawSource::RawSource(int fd, bool ownsFd, std::string description, RawSampleType type,
                     int sampleRate, int channels)
    : fd_(fd),
      ownsFd_(ownsFd),
      description_(std::move(description)),
      type_(type),
      frameBytes_(static_cast<size_t>(rawSampleBytes(type) * channels)) {
    shape_.sampleRate = sampleRate;
    shape_.channels = channels;
}

RawSource::~RawSource() {
    if (ownsFd_) close(fd_);
}

size_t RawSource::fill(size_t maxFrames) {
    if (bytes_.size() < maxFrames * frameBytes_) bytes_.resize(maxFrames * frameBytes_);
    while (held_ < frameBytes_) {
        ssize_t got = ::read(fd_, bytes_.data() + held_, bytes_.size() - held_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw ToolError(fmt::format("cannot read {}: {}", description_, std::strerror(errno)));
        if (got == 0) {
            if (held_ > 0)
                throw ToolError(fmt::format(
                    "{} ended in the middle of a frame ({} stray bytes); raw {} audio with {} "
                    "channels comes in whole frames of {} bytes",
                    description_, held_, rawSampleTypeName(type_), shape_.channels, frameBytes_));
            return 0;
        }
        held_ += static_cast<size_t>(got);
    }
    return std::min(held_ / frameBytes_, maxFrames);
}

void RawSource::consume(size_t frames) {
    size_t used = frames * frameBytes_;
    // Keep a partial frame for the next read.
    std::memmove(bytes_.data(), bytes_.data() + used, held_ - used);
    held_ -= used;
    framesRead_ += static_cast<int64_t>(frames);
}

size_t RawSource::read(int16_t* frames, size_t maxFrames) {
    size_t count = fill(maxFrames);
    size_t samples = count * static_cast<size_t>(shape_.channels);
    const unsigned char* bytes = bytes_.data();
    if (type_ == RawSampleType::S16) {
        for (size_t i = 0; i < samples; ++i)
            frames[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    } else {
        for (size_t i = 0; i < samples; ++i) frames[i] = widenSample(bytes[i]);
    }
    consume(count);
    return count;
}

size_t RawSource::read(uint8_t* frames, size_t maxFrames) {
    // Only 8-bit streams take the 8-bit path.
    if (type_ != RawSampleType::U8) throw std::logic_error("8-bit read from a 16-bit stream");
    size_t count = fill(maxFrames);
    std::memcpy(frames, bytes_.data(), count * frameBytes_);
    consume(count);
    return count;
}

RawSink::RawSink(int fd, std::string description, RawSampleType type, int channels)
    : fd_(fd), description_(std::move(description)), type_(type), channels_(channels) {}

void RawSink::writeAll(const unsigned char* bytes, size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            throw ToolError(fmt::format("cannot write {}: {}", description_,
                                        std::strerror(written < 0 ? errno : EIO)));
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void RawSink::write(const int16_t* frames, size_t count) {
    size_t samples = count * static_cast<size_t>(channels_);
    bytes_.resize(samples * static_cast<size_t>(rawSampleBytes(type_)));
    if (type_ == RawSampleType::S16) {
        for (size_t i = 0; i < samples; ++i) {
            auto value = static_cast<uint16_t>(frames[i]);
            bytes_[2 * i] = static_cast<unsigned char>(value & 0xFF);
            bytes_[2 * i + 1] = static_cast<unsigned char>(value >> 8);
        }
    } else {
        for (size_t i = 0; i < samples; ++i) bytes_[i] = narrowSample(frames[i]);
    }
    writeAll(bytes_.data(), bytes_.size());
}

void RawSink::write(const uint8_t* frames, size_t count) {
    size_t samples = count * static_cast<size_t>(channels_);
    if (type_ == RawSampleType::U8) {
        writeAll(frames, samples);
        return;
    }
    bytes_.resize(samples * 2);
    for (size_t i = 0; i < samples; ++i) {
        auto value = static_cast<uint16_t>(widenSample(frames[i]));
        bytes_[2 * i] = static_cast<unsigned char>(value & 0xFF);
        bytes_[2 * i + 1] = static_cast<unsigned char>(value >> 8);
    }
    writeAll(bytes_.data(), bytes_.size());
}

}  // namespace ve_cli
