// Test material: deterministic signals, audio files written and read back with libsndfile, and
// scratch folders that clean up after themselves.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ve_test {

// Interleaved 16-bit test signal: a different pair of tones per channel plus a little noise,
// peaking near -6 dBFS, so that every channel and both engines have real work to do.
std::vector<int16_t> testSignal(size_t frames, int channels, int sampleRate, uint32_t seed = 1);
// The same as 8-bit unsigned samples.
std::vector<uint8_t> testSignal8(size_t frames, int channels, int sampleRate, uint32_t seed = 1);

struct AudioFile {
    int sampleRate = 0;
    int channels = 0;
    int format = 0;  // libsndfile format word
    int64_t frames = 0;
    std::vector<int16_t> samples;  // as 16-bit values (8-bit b reads as (b - 128) * 256)
};

// Writes 16-bit values into a file of the given format (libsndfile converts to the encoding).
void writeAudio(const std::string& path, int format, int sampleRate, int channels,
                const std::vector<int16_t>& samples);
void writeAudio8(const std::string& path, int format, int sampleRate, int channels,
                 const std::vector<uint8_t>& samples);
AudioFile readAudio(const std::string& path);
// Reads as 32-bit left-justified integers, for files wider than 16 bits.
std::vector<int32_t> readAudio32(const std::string& path);

// Bytes of raw little-endian s16 or u8 samples.
std::string rawBytes(const std::vector<int16_t>& samples);
std::string rawBytes(const std::vector<uint8_t>& samples);
std::vector<int16_t> samplesFromRaw16(const std::string& bytes);
std::vector<uint8_t> samplesFromRaw8(const std::string& bytes);

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A fresh folder under the temporary directory, removed with everything in it at destruction.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of all entries, hidden ones included (temporary files are hidden).
    std::vector<std::string> entries() const;

  private:
    std::string path_;
};

}  // namespace ve_test
