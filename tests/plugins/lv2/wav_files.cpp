#include "tests/plugins/lv2/wav_files.h"

#include <sndfile.h>

#include <stdexcept>

namespace ve::lv2::testing {
namespace {

SNDFILE* openForWriting(const std::string& path, int rate, int channels, int subtype) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    return file;
}

SNDFILE* openForReading(const std::string& path, SF_INFO* info, int subtype) {
    *info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, info);
    if (file == nullptr)
        throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    if ((info->format & SF_FORMAT_SUBMASK) != subtype) {
        sf_close(file);
        throw std::runtime_error(path + " has another sample format");
    }
    return file;
}

}  // namespace

void writeWav16(const std::string& path, int rate, int channels,
                const std::vector<int16_t>& samples) {
    SNDFILE* file = openForWriting(path, rate, channels, SF_FORMAT_PCM_16);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const sf_count_t written = sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    if (written != frames) throw std::runtime_error("short write to " + path);
}

void writeWavFloat(const std::string& path, int rate, int channels,
                   const std::vector<float>& samples) {
    SNDFILE* file = openForWriting(path, rate, channels, SF_FORMAT_FLOAT);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    if (written != frames) throw std::runtime_error("short write to " + path);
}

Wav16 readWav16(const std::string& path) {
    SF_INFO info;
    SNDFILE* file = openForReading(path, &info, SF_FORMAT_PCM_16);
    Wav16 wav{info.samplerate, info.channels,
              std::vector<int16_t>(static_cast<size_t>(info.frames * info.channels))};
    sf_readf_short(file, wav.samples.data(), info.frames);
    sf_close(file);
    return wav;
}

WavFloat readWavFloat(const std::string& path) {
    SF_INFO info;
    SNDFILE* file = openForReading(path, &info, SF_FORMAT_FLOAT);
    WavFloat wav{info.samplerate, info.channels,
                 std::vector<float>(static_cast<size_t>(info.frames * info.channels))};
    sf_readf_float(file, wav.samples.data(), info.frames);
    sf_close(file);
    return wav;
}

}  // namespace ve::lv2::testing
