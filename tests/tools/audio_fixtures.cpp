#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace ve_test {
namespace {

SNDFILE* openForWrite(const std::string& path, int format, int sampleRate, int channels) {
    SF_INFO info{};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    return file;
}

}  // namespace

std::vector<int16_t> testSignal(size_t frames, int channels, int sampleRate, uint32_t seed) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    uint32_t noise = seed * 2654435761u + 1;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / sampleRate;
        for (int c = 0; c < channels; ++c) {
            double f1 = 220.0 * (c + 1) + 17.0 * seed;
            double f2 = 1870.0 + 310.0 * c;
            double value = 0.3 * std::sin(2 * std::numbers::pi * f1 * t) +
                           0.15 * std::sin(2 * std::numbers::pi * f2 * t + c);
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            value += 0.03 * (static_cast<double>(noise) / 4294967296.0 - 0.5);
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(std::lround(value * 32767.0));
        }
    }
    return samples;
}

std::vector<uint8_t> testSignal8(size_t frames, int channels, int sampleRate, uint32_t seed) {
    std::vector<int16_t> wide = testSignal(frames, channels, sampleRate, seed);
    std::vector<uint8_t> narrow(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) narrow[i] = static_cast<uint8_t>((wide[i] >> 8) + 128);
    return narrow;
}

void writeAudio(const std::string& path, int format, int sampleRate, int channels,
                const std::vector<int16_t>& samples) {
    SNDFILE* file = openForWrite(path, format, sampleRate, channels);
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    sf_close(file);
}

void writeAudio8(const std::string& path, int format, int sampleRate, int channels,
                 const std::vector<uint8_t>& samples) {
    std::vector<int16_t> wide(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        wide[i] = static_cast<int16_t>((samples[i] - 128) * 256);
    writeAudio(path, format, sampleRate, channels, wide);
}

AudioFile readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    AudioFile audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.frames = info.frames;
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    audio.frames = sf_readf_short(file, audio.samples.data(), info.frames);
    sf_close(file);
    return audio;
}

std::vector<int32_t> readAudio32(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    std::vector<int32_t> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_int(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

std::string rawBytes(const std::vector<int16_t>& samples) {
    std::string bytes(samples.size() * 2, '\0');
    for (size_t i = 0; i < samples.size(); ++i) {
        auto value = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<char>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(value >> 8);
    }
    return bytes;
}

std::string rawBytes(const std::vector<uint8_t>& samples) {
    return std::string(samples.begin(), samples.end());
}

std::vector<int16_t> samplesFromRaw16(const std::string& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
}

std::vector<uint8_t> samplesFromRaw8(const std::string& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::string readFileBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ve-tool-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
}

std::vector<std::string> ScratchFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace ve_test
