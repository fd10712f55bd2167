// Names and choices of sample encodings and file containers.
//
// The engines take 8-bit unsigned and 16-bit signed PCM. Files can hold many other encodings;
// libsndfile converts between them, and these helpers decide which encoding and container an
// output gets and how to describe them in messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ve_cli {

// The two encodings of headerless PCM streams: unsigned 8-bit and signed 16-bit little-endian.
enum class RawSampleType { U8, S16 };

// "u8" or "s16"; nullopt for anything else.
std::optional<RawSampleType> rawSampleTypeFromName(std::string_view name);
const char* rawSampleTypeName(RawSampleType type);
inline int rawSampleBytes(RawSampleType type) {
    return type == RawSampleType::U8 ? 1 : 2;
}

// The libsndfile subtype (SF_FORMAT_PCM_16, ...) named by an --output-format value; nullopt for
// an unknown name.
std::optional<int> subtypeFromName(std::string_view name);
// "u8, s8, s16, ...": the names subtypeFromName accepts.
std::string subtypeNames();
// Short description of a libsndfile subtype for messages: "24-bit PCM", "32-bit float", "Vorbis".
std::string describeSubtype(int subtype);
// Name of a libsndfile major format: "WAV", "AIFF", "FLAC", ...
std::string describeContainer(int majorFormat);

bool isEightBitSubtype(int subtype);
bool isSixteenBitSubtype(int subtype);

// The container that a file name's extension asks for (".wav" -> SF_FORMAT_WAV); nullopt when the
// extension is missing or not one libsndfile writes.
std::optional<int> containerFromPath(std::string_view path);

// The full libsndfile format word for an output file. The container is the one the output path's
// extension names, else the input's (WAV when the input is a raw stream). The encoding is the
// requested one, else the input's when the container can hold it (or the other 8-bit variant),
// else the container's usual one. A requested encoding the container cannot hold is a UsageError.
int chooseOutputFormat(std::string_view outputPath, std::optional<int> inputFormat,
                       std::optional<int> requestedSubtype, int channels, int sampleRate);

}  // namespace ve_cli
