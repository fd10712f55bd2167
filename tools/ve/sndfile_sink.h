// Frames into an audio file through libsndfile.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

#include "frame_stream.h"

namespace ve_cli {

class SndfileSink final : public FrameSink {
  public:
    // Writes to fd (which stays owned by the caller) with the given libsndfile format word.
    // metadataFrom, when not null, is an open input whose tags are copied.
    SndfileSink(int fd, std::string description, int format, int sampleRate, int channels,
                SNDFILE* metadataFrom);
    ~SndfileSink() override;
    SndfileSink(const SndfileSink&) = delete;
    SndfileSink& operator=(const SndfileSink&) = delete;

    void write(const int16_t* frames, size_t count) override;
    void write(const uint8_t* frames, size_t count) override;
    void finish() override;

  private:
    [[noreturn]] void fail();

    SNDFILE* file_ = nullptr;
    std::string description_;
    int channels_;
    std::vector<int16_t> widened_;
};

}  // namespace ve_cli
