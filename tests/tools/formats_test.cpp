// Files other than 16-bit WAV: wider and float encodings go through the 16-bit path and come back
// in the input's encoding, 8-bit ones through the 8-bit path; containers follow the output's
// extension; --output-format picks the encoding; metadata survives.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio_fixtures.h"
#include "library_reference.h"
#include "tool_process.h"
#include "ve32.h"

namespace ve_test {
namespace {

constexpr int kRate = 44100;
constexpr size_t kFrames = 6000;

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(Formats, TwentyFourBitInputIsRoundedTo16BitsAndWrittenBackAs24Bit) {
    ScratchFolder folder;
    auto base = testSignal(kFrames, 2, kRate);
    // 24-bit samples with a low byte that matters for rounding, left-justified in 32 bits.
    std::vector<int32_t> wide(base.size());
    std::vector<int16_t> rounded(base.size());
    for (size_t i = 0; i < base.size(); ++i) {
        int32_t low = static_cast<int32_t>((i * 97) % 256);
        int32_t sample24 = base[i] * 256 + low;
        if (sample24 > 8388607) sample24 = 8388607;
        wide[i] = sample24 * 256;
        // Nearest 16-bit value, halves upward.
        int64_t nearest = static_cast<int64_t>(std::floor((sample24 + 128) / 256.0));
        rounded[i] = static_cast<int16_t>(std::min<int64_t>(nearest, 32767));
    }
    SF_INFO info{0, kRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0, 0};
    SNDFILE* file = sf_open((folder / "in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_int(file, wide.data(), kFrames);
    sf_close(file);

    ToolResult run = runTool({"expand", folder / "in.wav", folder / "out.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(countOf(run.err, "24-bit PCM"), 1) << run.err;
    EXPECT_NE(run.err.find("processing at 16 bits"), std::string::npos) << run.err;

    AudioFile out = readAudio(folder / "out.wav");
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(out.samples, libraryExpand(rounded, kRate, VE32_BACKEND_AUTO));
    // The 24-bit output holds the 16-bit result exactly: its low byte is zero.
    for (int32_t sample : readAudio32(folder / "out.wav")) ASSERT_EQ(sample & 0xFFFF, 0);
}

TEST(Formats, FloatInputComesBackAsFloat) {
    ScratchFolder folder;
    auto mono = testSignal(kFrames, 1, kRate);
    std::vector<float> floats(mono.size());
    for (size_t i = 0; i < mono.size(); ++i) floats[i] = static_cast<float>(mono[i]) / 32768.0f;
    SF_INFO info{0, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open((folder / "in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, floats.data(), kFrames);
    sf_close(file);

    ToolResult run = runTool({"mono2stereo", folder / "in.wav", folder / "out.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("32-bit float"), std::string::npos) << run.err;

    SF_INFO outInfo{};
    SNDFILE* outFile = sf_open((folder / "out.wav").c_str(), SFM_READ, &outInfo);
    ASSERT_NE(outFile, nullptr);
    EXPECT_EQ(outInfo.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::vector<float> result(kFrames * 2);
    sf_command(outFile, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    ASSERT_EQ(sf_readf_float(outFile, result.data(), kFrames), static_cast<sf_count_t>(kFrames));
    sf_close(outFile);
    auto expected = libraryMonoToStereo(mono, kRate, VE32_BACKEND_AUTO);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(result[i] * 32768.0f, static_cast<float>(expected[i])) << "sample " << i;
}

struct ContainerCase {
    const char* name;
    int inputFormat;
    const char* inputName;
    const char* outputName;
    std::vector<std::string> options;
    int expectedFormat;
};

std::ostream& operator<<(std::ostream& out, const ContainerCase& c) {
    return out << c.name;
}

class Containers : public ::testing::TestWithParam<ContainerCase> {};

// Lossless containers: the samples must equal the library's output exactly.
TEST_P(Containers, LosslessOutputMatchesTheLibrary) {
    const ContainerCase& c = GetParam();
    ScratchFolder folder;
    bool eightBit = (c.inputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_S8 ||
                    (c.inputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8;
    auto signal = eightBit ? std::vector<int16_t>{} : testSignal(kFrames, 2, kRate);
    auto signal8 = testSignal8(kFrames, 2, kRate);
    if (eightBit)
        writeAudio8(folder / c.inputName, c.inputFormat, kRate, 2, signal8);
    else
        writeAudio(folder / c.inputName, c.inputFormat, kRate, 2, signal);

    std::vector<std::string> args = {"expand", folder / c.inputName, folder / c.outputName};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ToolResult run = runTool(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "") << "16-bit and 8-bit inputs need no note";

    AudioFile out = readAudio(folder / c.outputName);
    EXPECT_EQ(out.format, c.expectedFormat);
    ASSERT_EQ(out.frames, static_cast<int64_t>(kFrames));
    if (eightBit) {
        auto expected = libraryExpand(signal8, kRate, VE32_BACKEND_AUTO);
        std::vector<uint8_t> got(out.samples.size());
        for (size_t i = 0; i < got.size(); ++i)
            got[i] = static_cast<uint8_t>((out.samples[i] >> 8) + 128);
        EXPECT_EQ(got, expected);
    } else {
        auto expected = libraryExpand(signal, kRate, VE32_BACKEND_AUTO);
        EXPECT_EQ(out.samples, expected);
    }
}

const ContainerCase kContainerCases[] = {
    {"FlacStaysFlac",
     SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
     "in.flac",
     "out.flac",
     {},
     SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"AiffStaysAiff",
     SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
     "in.aiff",
     "out.aiff",
     {},
     SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    {"ExtensionPicksTheContainer",
     SF_FORMAT_WAV | SF_FORMAT_PCM_16,
     "in.wav",
     "out.flac",
     {},
     SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"UnknownExtensionKeepsTheInputContainer",
     SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
     "in.aiff",
     "out.audio",
     {},
     SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    {"SignedEightBitTakesTheEightBitPath",
     SF_FORMAT_AIFF | SF_FORMAT_PCM_S8,
     "in.aiff",
     "out.aiff",
     {},
     SF_FORMAT_AIFF | SF_FORMAT_PCM_S8},
    {"UnsignedEightBitIntoFlacBecomesSigned",
     SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
     "in.wav",
     "out.flac",
     {},
     SF_FORMAT_FLAC | SF_FORMAT_PCM_S8},
    {"OutputFormatWidensTo24Bit",
     SF_FORMAT_WAV | SF_FORMAT_PCM_16,
     "in.wav",
     "out.wav",
     {"--output-format", "s24"},
     SF_FORMAT_WAV | SF_FORMAT_PCM_24},
};

INSTANTIATE_TEST_SUITE_P(Files, Containers, ::testing::ValuesIn(kContainerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Formats, OggVorbisInAndOut) {
    ScratchFolder folder;
    writeAudio(folder / "in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, kRate, 2,
               testSignal(kFrames, 2, kRate));
    ToolResult run = runTool({"enhance", folder / "in.ogg", folder / "out.ogg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Vorbis"), std::string::npos) << run.err;
    AudioFile out = readAudio(folder / "out.ogg");
    EXPECT_EQ(out.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.frames, static_cast<int64_t>(kFrames));

    // Into a container that cannot hold Vorbis: the usual 16-bit PCM.
    run = runTool({"enhance", folder / "in.ogg", folder / "out.wav", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readAudio(folder / "out.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

TEST(Formats, MetadataIsKept) {
    ScratchFolder folder;
    for (const char* name : {"in.wav", "in.flac"}) {
        int format = std::string(name) == "in.wav" ? SF_FORMAT_WAV | SF_FORMAT_PCM_16
                                                   : SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        auto signal = testSignal(kFrames, 2, kRate);
        SF_INFO info{0, kRate, 2, format, 0, 0};
        SNDFILE* file = sf_open((folder / name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        sf_set_string(file, SF_STR_TITLE, "Evening Raga");
        sf_set_string(file, SF_STR_ARTIST, "The Test Ensemble");
        sf_set_string(file, SF_STR_COMMENT, "recorded for ve");
        sf_writef_short(file, signal.data(), kFrames);
        sf_close(file);

        std::string out = folder / (std::string("out-") + name);
        ToolResult run = runTool({"expand", folder / name, out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        SF_INFO outInfo{};
        SNDFILE* result = sf_open(out.c_str(), SFM_READ, &outInfo);
        ASSERT_NE(result, nullptr);
        auto text = [&](int kind) {
            const char* value = sf_get_string(result, kind);
            return std::string(value ? value : "(none)");
        };
        EXPECT_EQ(text(SF_STR_TITLE), "Evening Raga") << name;
        EXPECT_EQ(text(SF_STR_ARTIST), "The Test Ensemble") << name;
        EXPECT_EQ(text(SF_STR_COMMENT), "recorded for ve") << name;
        sf_close(result);
    }
}

TEST(Formats, RawOutputFollowsTheProcessingPath) {
    ScratchFolder folder;
    // An 8-bit file streams out as u8, a 16-bit one as s16, unless --output-format says otherwise.
    auto signal8 = testSignal8(kFrames, 2, kRate);
    writeAudio8(folder / "in8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, kRate, 2, signal8);
    ToolResult run = runTool({"expand", folder / "in8.wav", "-"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(samplesFromRaw8(run.out), libraryExpand(signal8, kRate, VE32_BACKEND_AUTO));

    run = runTool({"expand", folder / "in8.wav", "-", "--output-format", "s16"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto expected8 = libraryExpand(signal8, kRate, VE32_BACKEND_AUTO);
    std::vector<int16_t> widened(expected8.size());
    for (size_t i = 0; i < widened.size(); ++i)
        widened[i] = static_cast<int16_t>((expected8[i] - 128) * 256);
    EXPECT_EQ(samplesFromRaw16(run.out), widened);
}

}  // namespace
}  // namespace ve_test
