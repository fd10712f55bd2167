#include "sample_formats.h"

#include <fmt/format.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "errors.h"

namespace ve_cli {
namespace {

struct SubtypeEntry {
    const char* name;
    int subtype;
    const char* description;
};

constexpr std::array<SubtypeEntry, 10> kSubtypes = {{
    {"u8", SF_FORMAT_PCM_U8, "8-bit unsigned PCM"},
    {"s8", SF_FORMAT_PCM_S8, "8-bit signed PCM"},
    {"s16", SF_FORMAT_PCM_16, "16-bit PCM"},
    {"s24", SF_FORMAT_PCM_24, "24-bit PCM"},
    {"s32", SF_FORMAT_PCM_32, "32-bit PCM"},
    {"float", SF_FORMAT_FLOAT, "32-bit float"},
    {"double", SF_FORMAT_DOUBLE, "64-bit float"},
    {"ulaw", SF_FORMAT_ULAW, "u-law"},
    {"alaw", SF_FORMAT_ALAW, "A-law"},
    {"vorbis", SF_FORMAT_VORBIS, "Vorbis"},
}};

struct ContainerEntry {
    const char* extension;
    int major;
    const char* name;
};

constexpr std::array<ContainerEntry, 13> kContainers = {{
    {"wav", SF_FORMAT_WAV, "WAV"},
    {"wave", SF_FORMAT_WAV, "WAV"},
    {"aif", SF_FORMAT_AIFF, "AIFF"},
    {"aiff", SF_FORMAT_AIFF, "AIFF"},
    {"aifc", SF_FORMAT_AIFF, "AIFF"},
    {"flac", SF_FORMAT_FLAC, "FLAC"},
    {"ogg", SF_FORMAT_OGG, "Ogg"},
    {"oga", SF_FORMAT_OGG, "Ogg"},
    {"au", SF_FORMAT_AU, "AU"},
    {"snd", SF_FORMAT_AU, "AU"},
    {"caf", SF_FORMAT_CAF, "CAF"},
    {"w64", SF_FORMAT_W64, "W64"},
    {"rf64", SF_FORMAT_RF64, "RF64"},
}};

std::string lowercase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool acceptable(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

int usualSubtype(int major) {
    return major == SF_FORMAT_OGG ? SF_FORMAT_VORBIS : SF_FORMAT_PCM_16;
}

}  // namespace

std::optional<RawSampleType> rawSampleTypeFromName(std::string_view name) {
    if (name == "u8") return RawSampleType::U8;
    if (name == "s16") return RawSampleType::S16;
    return {};
}

const char* rawSampleTypeName(RawSampleType type) {
    return type == RawSampleType::U8 ? "u8" : "s16";
}

std::optional<int> subtypeFromName(std::string_view name) {
    std::string wanted = lowercase(name);
    for (const auto& entry : kSubtypes)
        if (wanted == entry.name) return entry.subtype;
    return {};
}

std::string subtypeNames() {
    std::string names;
    for (const auto& entry : kSubtypes) {
        if (!names.empty()) names += ", ";
        names += entry.name;
    }
    return names;
}

std::string describeSubtype(int subtype) {
    subtype &= SF_FORMAT_SUBMASK;
    for (const auto& entry : kSubtypes)
        if (entry.subtype == subtype) return entry.description;
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    return fmt::format("encoding 0x{:04x}", subtype);
}

std::string describeContainer(int majorFormat) {
    majorFormat &= SF_FORMAT_TYPEMASK;
    for (const auto& entry : kContainers)
        if (entry.major == majorFormat) return entry.name;
    SF_FORMAT_INFO info{};
    info.format = majorFormat;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    return fmt::format("container 0x{:06x}", majorFormat);
}

bool isEightBitSubtype(int subtype) {
    subtype &= SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_S8;
}

bool isSixteenBitSubtype(int subtype) {
    return (subtype & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
}

std::optional<int> containerFromPath(std::string_view path) {
    size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string extension = lowercase(name.substr(dot + 1));
    for (const auto& entry : kContainers)
        if (extension == entry.extension) return entry.major;
    return {};
}

int chooseOutputFormat(std::string_view outputPath, std::optional<int> inputFormat,
                       std::optional<int> requestedSubtype, int channels, int sampleRate) {
    int major = SF_FORMAT_WAV;
    int endian = 0;
    if (auto fromName = containerFromPath(outputPath)) {
        major = *fromName;
    } else if (inputFormat) {
        major = *inputFormat & SF_FORMAT_TYPEMASK;
    }
    // Keep the input's byte order only when the container stays the same.
    if (inputFormat && (*inputFormat & SF_FORMAT_TYPEMASK) == major)
        endian = *inputFormat & SF_FORMAT_ENDMASK;

    if (requestedSubtype) {
        if (acceptable(major | *requestedSubtype | endian, channels, sampleRate))
            return major | *requestedSubtype | endian;
        if (acceptable(major | *requestedSubtype, channels, sampleRate))
            return major | *requestedSubtype;
        throw UsageError(fmt::format(
            "{} files cannot hold {} samples at {} Hz; choose another --output-format (one of {}) "
            "or another output extension",
            describeContainer(major), describeSubtype(*requestedSubtype), sampleRate,
            subtypeNames()));
    }

    if (inputFormat) {
        int subtype = *inputFormat & SF_FORMAT_SUBMASK;
        if (acceptable(major | subtype | endian, channels, sampleRate))
            return major | subtype | endian;
        if (acceptable(major | subtype, channels, sampleRate)) return major | subtype;
        if (isEightBitSubtype(subtype)) {
            int other = subtype == SF_FORMAT_PCM_U8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_U8;
            if (acceptable(major | other, channels, sampleRate)) return major | other;
        }
    }
    int usual = major | usualSubtype(major);
    if (!acceptable(usual, channels, sampleRate))
        throw UsageError(
            fmt::format("{} files cannot hold {}-channel audio at {} Hz; choose "
                        "another output extension such as .wav or .flac",
                        describeContainer(major), channels, sampleRate));
    return usual;
}

}  // namespace ve_cli
