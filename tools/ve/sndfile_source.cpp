#include "sndfile_source.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include "errors.h"
#include "sample_formats.h"
#include "sndfile_error_text.h"

namespace ve_cli {
namespace {

// Recorders that write a WAV to a pipe cannot know its length and put a placeholder close to
// 2 or 4 GiB in the header; such a header promises nothing.
constexpr int64_t kPlaceholderBytes = 0x7FFF0000;

const char* kAcceptedInputs =
    "accepted: WAV, AIFF, FLAC, Ogg and the other formats 've info' lists, or raw PCM with --raw";

std::string logOf(SNDFILE* file) {
    std::string log(16384, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    log.resize(std::strlen(log.c_str()));
    return log;
}

std::optional<int64_t> numberAt(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return {};
    return value;
}

// libsndfile reads a file whose header promises more audio than is there, logging for example
// "data : 352800 (should be 99956)". That is a cut-off file, not a short one.
bool headerPromisesMoreThanFileHolds(const std::string& log) {
    size_t lineStart = 0;
    while (lineStart < log.size()) {
        size_t lineEnd = log.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = log.size();
        std::string_view line(log.data() + lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        size_t colon = line.find(':');
        size_t should = line.find("(should be ");
        if (colon == std::string_view::npos || should == std::string_view::npos) continue;
        std::string_view key = line.substr(0, colon);
        while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        if (key != "data" && key != "SSND") continue;
        auto claimed = numberAt(line.substr(colon + 1));
        auto present = numberAt(line.substr(should + std::strlen("(should be ")));
        if (claimed && present && *claimed > *present && *claimed < kPlaceholderBytes) return true;
    }
    return false;
}

bool streamEndedEarly(const std::string& log) {
    return log.find("ended unexpectedly") != std::string::npos;
}

int bytesPerSample(int subtype) {
    switch (subtype & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return 1;
        case SF_FORMAT_PCM_16:
            return 2;
        case SF_FORMAT_PCM_24:
            return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 4;
        case SF_FORMAT_DOUBLE:
            return 8;
        default:
            return 0;  // compressed: the frame count comes from the stream itself
    }
}

int openInput(const std::string& path, const std::string& description) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        throw ToolError(fmt::format("{} is a directory; expected an audio file ({})", description,
                                    kAcceptedInputs));
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ToolError(fmt::format("cannot read {}: {} ({})", description, std::strerror(errno),
                                    kAcceptedInputs));
    return fd;
}

}  // namespace

SndfileSource::SndfileSource(const std::string& path) {
    bool fromStdin = path == "-";
    description_ = fromStdin ? "standard input" : fmt::format("input '{}'", path);
    if (fromStdin && isatty(STDIN_FILENO))
        throw ToolError("standard input is a terminal; pipe audio into ve or name an input file");

    int fd = fromStdin ? STDIN_FILENO : openInput(path, description_);
    SF_INFO info{};
    file_ = sf_open_fd(fd, SFM_READ, &info, fromStdin ? SF_FALSE : SF_TRUE);
    if (!file_) {
        // libsndfile has closed the descriptor it was given to own.
        std::string reason = sndfileErrorText(nullptr);
        throw ToolError(fmt::format("{} is not audio that ve can read ({}); {}", description_,
                                    reason, kAcceptedInputs));
    }

    try {
        inspect(info);
    } catch (...) {
        sf_close(file_);
        file_ = nullptr;
        throw;
    }
}

// Takes the shape from the header and refuses inputs that are visibly cut off.
void SndfileSource::inspect(const SF_INFO& info) {
    format_ = info.format;
    shape_.sampleRate = info.samplerate;
    shape_.channels = info.channels;
    if (info.samplerate <= 0 || info.channels <= 0)
        throw ToolError(fmt::format("{} has a corrupt header ({} Hz, {} channels); {}",
                                    description_, info.samplerate, info.channels, kAcceptedInputs));

    std::string log = logOf(file_);
    if (headerPromisesMoreThanFileHolds(log) || streamEndedEarly(log))
        throw ToolError(
            fmt::format("{} is truncated: its header promises more audio than it "
                        "holds; expected a complete file",
                        description_));

    if (info.frames >= 0 && info.frames < SF_COUNT_MAX) {
        int sampleBytes = bytesPerSample(info.format);
        bool placeholder =
            sampleBytes > 0 && info.frames * sampleBytes * info.channels >= kPlaceholderBytes;
        lengthPromised_ = !placeholder;
        if (info.seekable || lengthPromised_) shape_.frames = info.frames;
    }
}

SndfileSource::~SndfileSource() {
    if (file_) sf_close(file_);
}

bool SndfileSource::holdsEightBitSamples() const {
    return isEightBitSubtype(format_);
}

bool SndfileSource::holdsSixteenBitSamples() const {
    return isSixteenBitSubtype(format_);
}

void SndfileSource::checkForErrors() {
    if (sf_error(file_) != SF_ERR_NO_ERROR)
        throw ToolError(
            fmt::format("{} is corrupt after frame {} ({}); expected a complete, "
                        "undamaged audio file",
                        description_, framesRead_, sndfileErrorText(file_)));
}

void SndfileSource::checkComplete() {
    // (libsndfile also logs an Ogg stream "ended unexpectedly" once reading passes the end of a
    // complete file, so only the open-time log says anything about truncation.)
    if (lengthPromised_ && framesRead_ < shape_.frames)
        throw ToolError(
            fmt::format("{} is truncated: it ended after {} of {} frames; expected a "
                        "complete file",
                        description_, framesRead_, shape_.frames));
}

size_t SndfileSource::readShorts(int16_t* dest, size_t maxFrames) {
    sf_count_t got = 0;
    if (holdsEightBitSamples() || holdsSixteenBitSamples()) {
        // 8- and 16-bit samples arrive exactly as 16-bit values.
        got = sf_readf_short(file_, dest, static_cast<sf_count_t>(maxFrames));
    } else {
        // Everything else (wider integers, floats, compressed) arrives as floats with full
        // scale at 1.0 and is rounded to the nearest 16-bit step, halves upward. libsndfile's
        // own integer reads of float files would either truncate to 0 or scale to the file's
        // peak, and neither keeps the level.
        size_t samples = maxFrames * static_cast<size_t>(shape_.channels);
        if (floats_.size() < samples) floats_.resize(samples);
        got = sf_readf_float(file_, floats_.data(), static_cast<sf_count_t>(maxFrames));
        size_t count =
            got > 0 ? static_cast<size_t>(got) * static_cast<size_t>(shape_.channels) : 0;
        for (size_t i = 0; i < count; ++i) {
            float scaled = std::floor(floats_[i] * 32768.0f + 0.5f);
            if (std::isnan(scaled)) scaled = 0;  // a damaged float file must not become noise
            dest[i] = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
        }
    }
    checkForErrors();
    if (got <= 0) {
        checkComplete();
        return 0;
    }
    framesRead_ += got;
    return static_cast<size_t>(got);
}

size_t SndfileSource::read(int16_t* frames, size_t maxFrames) {
    return readShorts(frames, maxFrames);
}

size_t SndfileSource::read(uint8_t* frames, size_t maxFrames) {
    size_t samples = maxFrames * static_cast<size_t>(shape_.channels);
    if (shorts_.size() < samples) shorts_.resize(samples);
    size_t got = readShorts(shorts_.data(), maxFrames);
    size_t count = got * static_cast<size_t>(shape_.channels);
    // 8-bit samples arrive as (b - 128) * 256 whether stored signed or unsigned.
    for (size_t i = 0; i < count; ++i) frames[i] = static_cast<uint8_t>((shorts_[i] >> 8) + 128);
    return got;
}

}  // namespace ve_cli
