// ve's output must be exactly what the library gives for the same samples, whether the audio
// comes from a file or a raw stream, through the 16-bit or the 8-bit path, for both engines and
// every option that reaches the library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_fixtures.h"
#include "library_reference.h"
#include "tool_process.h"
#include "ve32.h"

namespace ve_test {
namespace {

enum class Job { Expand, MonoToStereo, EnhanceStereo, EnhanceMono };

struct EqualityCase {
    const char* name;
    Job job;
    bool eightBit;
    int sampleRate;
    std::vector<std::string> options;
    ExpanderParameters parameters;
    unsigned flags;
    size_t block = kWholeSignal;  // frames per library call when the case sets --block
};

std::ostream& operator<<(std::ostream& out, const EqualityCase& c) {
    return out << c.name;
}

const char* command(Job job) {
    switch (job) {
        case Job::Expand:
            return "expand";
        case Job::MonoToStereo:
            return "mono2stereo";
        default:
            return "enhance";
    }
}

int inputChannels(Job job) {
    return job == Job::Expand || job == Job::EnhanceStereo ? 2 : 1;
}
bool expands(Job job) {
    return inputChannels(job) == 2;
}

std::vector<std::string> args(const EqualityCase& c, const std::string& in,
                              const std::string& out) {
    std::vector<std::string> result = {command(c.job), in, out, "--quiet"};
    result.insert(result.end(), c.options.begin(), c.options.end());
    return result;
}

class OutputEquality : public ::testing::TestWithParam<EqualityCase> {};

constexpr size_t kFrames = 10000;  // several engine blocks and a partial one

TEST_P(OutputEquality, FileAndStreamMatchTheLibrary) {
    const EqualityCase& c = GetParam();
    __builtin_cpu_init();
    if ((c.flags & VE32_BACKEND_MASK) == VE32_BACKEND_MMX && !__builtin_cpu_supports("mmx"))
        GTEST_SKIP() << "this processor has no MMX; ve refuses --backend mmx (tested elsewhere)";
    ScratchFolder folder;
    const int channels = inputChannels(c.job);
    const std::string input = folder / "in.wav";
    const std::string output = folder / "out.wav";
    std::vector<std::string> rawOptions = {"--raw",      c.eightBit ? "u8" : "s16",
                                           "--rate",     std::to_string(c.sampleRate),
                                           "--channels", std::to_string(channels)};

    if (c.eightBit) {
        auto signal = testSignal8(kFrames, channels, c.sampleRate);
        auto expected = expands(c.job)
                            ? libraryExpand(signal, c.sampleRate, c.flags, c.parameters, c.block)
                            : libraryMonoToStereo(signal, c.sampleRate, c.flags, c.block);
        writeAudio8(input, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, c.sampleRate, channels, signal);

        ToolResult file = runTool(args(c, input, output));
        ASSERT_EQ(file.exitCode, 0) << file.err;
        AudioFile written = readAudio(output);
        EXPECT_EQ(written.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
        EXPECT_EQ(written.channels, 2);
        EXPECT_EQ(written.sampleRate, c.sampleRate);
        ASSERT_EQ(written.frames, static_cast<int64_t>(kFrames));
        std::vector<uint8_t> fromFile(written.samples.size());
        for (size_t i = 0; i < fromFile.size(); ++i)
            fromFile[i] = static_cast<uint8_t>((written.samples[i] >> 8) + 128);
        EXPECT_EQ(fromFile, expected) << "file mode";

        auto streamArgs = args(c, "-", "-");
        streamArgs.insert(streamArgs.end(), rawOptions.begin(), rawOptions.end());
        ToolResult stream = runTool(streamArgs, withInput(rawBytes(signal)));
        ASSERT_EQ(stream.exitCode, 0) << stream.err;
        EXPECT_EQ(samplesFromRaw8(stream.out), expected) << "stream mode";
    } else {
        auto signal = testSignal(kFrames, channels, c.sampleRate);
        auto expected = expands(c.job)
                            ? libraryExpand(signal, c.sampleRate, c.flags, c.parameters, c.block)
                            : libraryMonoToStereo(signal, c.sampleRate, c.flags, c.block);
        writeAudio(input, SF_FORMAT_WAV | SF_FORMAT_PCM_16, c.sampleRate, channels, signal);

        ToolResult file = runTool(args(c, input, output));
        ASSERT_EQ(file.exitCode, 0) << file.err;
        AudioFile written = readAudio(output);
        EXPECT_EQ(written.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(written.channels, 2);
        EXPECT_EQ(written.sampleRate, c.sampleRate);
        ASSERT_EQ(written.frames, static_cast<int64_t>(kFrames));
        EXPECT_EQ(written.samples, expected) << "file mode";

        auto streamArgs = args(c, "-", "-");
        streamArgs.insert(streamArgs.end(), rawOptions.begin(), rawOptions.end());
        ToolResult stream = runTool(streamArgs, withInput(rawBytes(signal)));
        ASSERT_EQ(stream.exitCode, 0) << stream.err;
        EXPECT_EQ(samplesFromRaw16(stream.out), expected) << "stream mode";
    }
}

ExpanderParameters shaped() {
    ExpanderParameters p;
    p.spreadDb = 4.5f;
    p.centerDb = -3.0f;
    p.scaleLeftDb = -1.5f;
    p.scaleRightDb = -6.0f;
    p.delayLeft = 7;
    p.delayRight = 300;
    return p;
}

const EqualityCase kCases[] = {
    {"Expand16", Job::Expand, false, 44100, {}, {}, VE32_BACKEND_AUTO},
    {"Expand8", Job::Expand, true, 11025, {}, {}, VE32_BACKEND_AUTO},
    {"ExpandEveryOption16",
     Job::Expand,
     false,
     48000,
     {"--spread", "4.5", "--center", "-3", "--scale", "-1.5,-6", "--delay", "7,300"},
     shaped(),
     VE32_BACKEND_AUTO},
    {"ExpandEveryOption8",
     Job::Expand,
     true,
     22050,
     {"--spread=4.5", "--center=-3", "--scale=-1.5,-6", "--delay=7,300", "--block", "333"},
     shaped(),
     VE32_BACKEND_AUTO,
     333},
    {"ExpandSectionTable",
     Job::Expand,
     false,
     32000,
     {"--table", "sections"},
     {},
     VE32_BACKEND_AUTO | VE32_FLAG_SECTION_SHAPING},
    {"ExpandFloatBackend", Job::Expand, false, 16000, {"--backend", "fpu"}, {}, VE32_BACKEND_FPU},
    {"ExpandPackedBackend", Job::Expand, false, 24000, {"--backend", "mmx"}, {}, VE32_BACKEND_MMX},
    {"ExpandSingleFrameBlocks",
     Job::Expand,
     false,
     44100,
     {"--block", "1"},
     {},
     VE32_BACKEND_AUTO,
     1},
    {"ExpandOddBlock", Job::Expand, false, 8000, {"--block", "100"}, {}, VE32_BACKEND_AUTO, 100},
    {"MonoToStereo16", Job::MonoToStereo, false, 44100, {}, {}, VE32_BACKEND_AUTO},
    {"MonoToStereo8", Job::MonoToStereo, true, 8000, {}, {}, VE32_BACKEND_AUTO},
    {"MonoToStereoLargeBlock",
     Job::MonoToStereo,
     false,
     12000,
     {"--block", "65536"},
     {},
     VE32_BACKEND_AUTO,
     65536},
    {"MonoToStereoFloatBackend",
     Job::MonoToStereo,
     true,
     48000,
     {"--backend", "fpu"},
     {},
     VE32_BACKEND_FPU},
    {"EnhanceStereoIsExpand",
     Job::EnhanceStereo,
     false,
     44100,
     {"--spread", "2"},
     [] {
         ExpanderParameters p;
         p.spreadDb = 2;
         return p;
     }(),
     VE32_BACKEND_AUTO},
    {"EnhanceMonoIsMonoToStereo", Job::EnhanceMono, true, 22050, {}, {}, VE32_BACKEND_AUTO},
};

INSTANTIATE_TEST_SUITE_P(AllPaths, OutputEquality, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ve_test
