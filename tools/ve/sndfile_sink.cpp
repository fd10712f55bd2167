#include "sndfile_sink.h"

#include <fmt/format.h>

#include "errors.h"
#include "sample_formats.h"
#include "sndfile_error_text.h"
#include "sndfile_metadata.h"

namespace ve_cli {

SndfileSink::SndfileSink(int fd, std::string description, int format, int sampleRate, int channels,
                         SNDFILE* metadataFrom)
    : description_(std::move(description)), channels_(channels) {
    SF_INFO info{};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file_)
        throw ToolError(fmt::format("cannot write {} as {} {}: {}", description_,
                                    describeContainer(format), describeSubtype(format),
                                    sndfileErrorText(nullptr)));
    // Into float and double files, a 16-bit value v becomes v / 32768 (libsndfile's default would
    // store v itself, 32768 times too loud).
    sf_command(file_, SFC_SET_SCALE_INT_FLOAT_WRITE, nullptr, SF_TRUE);
    copyMetadata(metadataFrom, file_);
}

SndfileSink::~SndfileSink() {
    if (file_) sf_close(file_);
}

void SndfileSink::fail() {
    throw ToolError(fmt::format("cannot write {}: {}", description_, sndfileErrorText(file_)));
}

void SndfileSink::write(const int16_t* frames, size_t count) {
    if (count == 0) return;
    sf_count_t written = sf_writef_short(file_, frames, static_cast<sf_count_t>(count));
    if (written != static_cast<sf_count_t>(count) || sf_error(file_) != SF_ERR_NO_ERROR) fail();
}

void SndfileSink::write(const uint8_t* frames, size_t count) {
    size_t samples = count * static_cast<size_t>(channels_);
    if (widened_.size() < samples) widened_.resize(samples);
    for (size_t i = 0; i < samples; ++i) widened_[i] = widenSample(frames[i]);
    write(widened_.data(), count);
}

void SndfileSink::finish() {
    // Closing writes the final header; its error is the last chance to notice a full disk.
    SNDFILE* file = file_;
    file_ = nullptr;
    int error = sf_close(file);
    if (error != SF_ERR_NO_ERROR)
        throw ToolError(fmt::format("cannot write {}: {}", description_, sf_error_number(error)));
}

}  // namespace ve_cli
