// Every kind of bad input ends the same way: one line on standard error naming the problem and
// what is accepted, a non-zero exit code, and no output file (nor a temporary one) left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "audio_fixtures.h"
#include "tool_process.h"

namespace ve_test {
namespace {

constexpr int kRate = 44100;

struct BadInputCase {
    const char* name;
    // Makes whatever files the case needs and returns ve's arguments.
    std::function<std::vector<std::string>(const ScratchFolder&)> prepare;
    int exitCode;
    std::vector<std::string> messageParts;  // each must appear in the message
    std::string standardInput = {};
};

std::ostream& operator<<(std::ostream& out, const BadInputCase& c) {
    return out << c.name;
}

void stereoWav(const std::string& path, size_t frames = 4000, int rate = kRate) {
    writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 2, testSignal(frames, 2, rate));
}

// Arguments for expanding a good stereo file into out.wav with extra options.
std::function<std::vector<std::string>(const ScratchFolder&)> expandWith(
    std::vector<std::string> options) {
    return [options](const ScratchFolder& folder) {
        stereoWav(folder / "in.wav");
        std::vector<std::string> args = {"expand", folder / "in.wav", folder / "out.wav"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    };
}

std::vector<std::string> channelsInto(const ScratchFolder& folder, const char* command,
                                      int channels) {
    writeAudio(folder / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, channels,
               testSignal(2000, channels, kRate));
    return {command, folder / "in.wav", folder / "out.wav"};
}

class BadInput : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadInput, OneLineNonZeroExitAndNoOutput) {
    const BadInputCase& c = GetParam();
    ScratchFolder folder;
    std::vector<std::string> args = c.prepare(folder);
    auto before = folder.entries();

    ToolResult run = runTool(args, withInput(c.standardInput));

    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.termSignal, 0);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.err.rfind("ve: ", 0), 0u) << run.err;
    for (const auto& part : c.messageParts)
        EXPECT_NE(run.err.find(part), std::string::npos)
            << "missing '" << part << "' in " << run.err;
    EXPECT_EQ(folder.entries(), before) << "nothing may be left behind";
}

const BadInputCase kCases[] = {
    // Inputs that cannot be read.
    {"MissingInput",
     [](const ScratchFolder& f) {
         return std::vector<std::string>{"expand", f / "missing.wav", f / "out.wav"};
     },
     1,
     {"missing.wav", "No such file or directory", "WAV"}},
    {"InputIsADirectory",
     [](const ScratchFolder& f) {
         std::filesystem::create_directory(f / "sub");
         return std::vector<std::string>{"enhance", f / "sub", f / "out.wav"};
     },
     1,
     {"is a directory", "audio file"}},
    {"InputIsNotAudio",
     [](const ScratchFolder& f) {
         writeFileBytes(f / "notes.wav", "These are my notes, not a recording.\n");
         return std::vector<std::string>{"expand", f / "notes.wav", f / "out.wav"};
     },
     1,
     {"not audio", "WAV, AIFF, FLAC, Ogg"}},
    {"InputIsEmpty",
     [](const ScratchFolder& f) {
         writeFileBytes(f / "empty.wav", "");
         return std::vector<std::string>{"expand", f / "empty.wav", f / "out.wav"};
     },
     1,
     {"not audio"}},
    {"WavHeaderWithZeroChannels",
     [](const ScratchFolder& f) {
         stereoWav(f / "good.wav");
         std::string bytes = readFileBytes(f / "good.wav");
         bytes[22] = 0;  // the fmt chunk's channel count
         bytes[23] = 0;
         writeFileBytes(f / "bad.wav", bytes);
         return std::vector<std::string>{"expand", f / "bad.wav", f / "out.wav"};
     },
     1,
     {"bad.wav"}},
    {"TruncatedWav",
     [](const ScratchFolder& f) {
         stereoWav(f / "good.wav", 20000);
         std::string bytes = readFileBytes(f / "good.wav");
         writeFileBytes(f / "cut.wav", bytes.substr(0, bytes.size() / 2));
         return std::vector<std::string>{"expand", f / "cut.wav", f / "out.wav"};
     },
     1,
     {"cut.wav", "truncated", "complete file"}},
    {"TruncatedAiff",
     [](const ScratchFolder& f) {
         writeAudio(f / "good.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, kRate, 2,
                    testSignal(20000, 2, kRate));
         std::string bytes = readFileBytes(f / "good.aiff");
         writeFileBytes(f / "cut.aiff", bytes.substr(0, bytes.size() / 2));
         return std::vector<std::string>{"expand", f / "cut.aiff", f / "out.wav"};
     },
     1,
     {"truncated"}},
    {"FlacCutMidway",
     [](const ScratchFolder& f) {
         // The header is intact; the damage shows only when decoding reaches it, after output
         // has begun.
         writeAudio(f / "good.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2,
                    testSignal(100000, 2, kRate));
         std::string bytes = readFileBytes(f / "good.flac");
         writeFileBytes(f / "cut.flac", bytes.substr(0, bytes.size() * 3 / 4));
         return std::vector<std::string>{"expand", f / "cut.flac", f / "out.wav"};
     },
     1,
     {"cut.flac", "complete"}},
    {"RawStreamEndsInsideAFrame",
     [](const ScratchFolder& f) {
         return std::vector<std::string>{"expand", "-",     f / "out.wav", "--raw", "s16",
                                         "--rate", "44100", "--channels",  "2"};
     },
     1,
     {"middle of a frame", "4 bytes"},
     std::string(4 * 100 + 3, '\x01')},

    // Channel counts an engine cannot take.
    {"MonoIntoExpand",
     [](const ScratchFolder& f) { return channelsInto(f, "expand", 1); },
     1,
     {"1 channel;", "stereo (2-channel)"}},
    {"StereoIntoMonoToStereo",
     [](const ScratchFolder& f) { return channelsInto(f, "mono2stereo", 2); },
     1,
     {"2 channels", "mono (1-channel)"}},
    {"ThreeChannelsIntoEnhance",
     [](const ScratchFolder& f) { return channelsInto(f, "enhance", 3); },
     1,
     {"3 channels", "mono (1-channel) or stereo (2-channel)"}},
    {"RawSixChannelsIntoExpand",
     [](const ScratchFolder& f) {
         return std::vector<std::string>{"expand", "-",     f / "out.wav", "--raw", "s16",
                                         "--rate", "44100", "--channels",  "6"};
     },
     1,
     {"6 channels", "stereo"},
     std::string(1200, '\0')},

    // Sample rates.
    {"UnsupportedRateWithoutResample",
     [](const ScratchFolder& f) {
         stereoWav(f / "hi.wav", 4000, 96000);
         return std::vector<std::string>{"expand", f / "hi.wav", f / "out.wav"};
     },
     1,
     {"96000 Hz", "8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and 48000 Hz",
      "--resample"}},
    {"UnsupportedRawRate",
     [](const ScratchFolder& f) {
         return std::vector<std::string>{"expand", "-",     f / "out.wav", "--raw", "u8",
                                         "--rate", "44000", "--channels",  "2"};
     },
     1,
     {"44000 Hz", "--resample"},
     std::string(200, '\x80')},

    // Option values.
    {"SpreadNotANumber",
     expandWith({"--spread", "wide"}),
     2,
     {"--spread", "'wide'", "-200 to 24 dB"}},
    {"SpreadNaN", expandWith({"--spread", "nan"}), 2, {"--spread", "'nan'"}},
    {"CenterInfinite", expandWith({"--center", "inf"}), 2, {"--center", "'inf'"}},
    {"SpreadTooHigh", expandWith({"--spread", "25"}), 2, {"--spread", "-200 to 24 dB"}},
    {"SpreadWithUnit", expandWith({"--spread", "3dB"}), 2, {"--spread", "'3dB'"}},
    {"ScaleNeedsTwoValues", expandWith({"--scale", "-3"}), 2, {"--scale", "LEFT,RIGHT"}},
    {"ScaleWithThreeValues", expandWith({"--scale", "1,2,3"}), 2, {"--scale", "LEFT,RIGHT"}},
    {"ScaleNotANumber", expandWith({"--scale", "1,x"}), 2, {"--scale", "'1,x'"}},
    {"NegativeDelay", expandWith({"--delay", "-1,0"}), 2, {"--delay", "0 to 96000 samples"}},
    {"FractionalDelay", expandWith({"--delay", "1.5,2"}), 2, {"--delay", "whole numbers"}},
    {"DelayTooLong", expandWith({"--delay", "0,96001"}), 2, {"--delay", "0 to 96000"}},
    {"UnknownTable", expandWith({"--table", "zeros"}), 2, {"--table", "poles or sections"}},
    {"UnknownBackend", expandWith({"--backend", "sse"}), 2, {"--backend", "auto, fpu or mmx"}},
    {"UnknownOutputFormat",
     expandWith({"--output-format", "mp3"}),
     2,
     {"--output-format", "u8, s8, s16, s24"}},
    {"OutputFormatTheContainerCannotHold",
     expandWith({"--output-format", "vorbis"}),
     2,
     {"WAV files cannot hold Vorbis", "--output-format"}},
    {"BlockOfZeroFrames", expandWith({"--block", "0"}), 2, {"--block", "1 to 65536"}},
    {"UnknownRawType",
     expandWith({"--raw", "s24", "--rate", "44100", "--channels", "2"}),
     2,
     {"--raw", "u8", "s16"}},
    {"RawWithoutRate",
     expandWith({"--raw", "s16", "--channels", "2"}),
     2,
     {"--raw needs --rate and --channels"}},
    {"RawRateZero",
     expandWith({"--raw", "s16", "--rate", "0", "--channels", "2"}),
     2,
     {"--rate", "1 to 1000000 Hz"}},
    {"RateWithoutRaw", expandWith({"--rate", "48000"}), 2, {"--rate", "--raw"}},
    {"UnknownOption", expandWith({"--wider"}), 2, {"--wider", "ve expand --help"}},
    {"MissingOutput",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         return std::vector<std::string>{"expand", f / "in.wav"};
     },
     2,
     {"output", "ve expand --help"}},
    {"EncodingRawOutputCannotCarry",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         return std::vector<std::string>{"expand", f / "in.wav", "-", "--output-format", "float"};
     },
     2,
     {"raw u8 or s16", "32-bit float"}},

    // Outputs that cannot be written.
    {"OutputFolderMissing",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         return std::vector<std::string>{"expand", f / "in.wav", f / "no/such/folder/out.wav"};
     },
     1,
     {"cannot write output", "No such file or directory", "existing, writable folder"}},
    {"OutputIsADirectory",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         std::filesystem::create_directory(f / "out.wav");
         return std::vector<std::string>{"expand", f / "in.wav", f / "out.wav"};
     },
     1,
     {"is a directory", "file name"}},
    {"OutputOnAFileSystemWithoutFiles",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         return std::vector<std::string>{"expand", f / "in.wav", "/proc/ve-test-output.wav"};
     },
     1,
     {"cannot write output '/proc/ve-test-output.wav'"}},

    // Input and output naming the same file, directly or through links.
    {"SameFile",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         return std::vector<std::string>{"expand", f / "in.wav", f / "in.wav"};
     },
     1,
     {"same file", "different path"}},
    {"SameFileThroughAHardLink",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         std::filesystem::create_hard_link(f / "in.wav", f / "alias.wav");
         return std::vector<std::string>{"expand", f / "in.wav", f / "alias.wav"};
     },
     1,
     {"same file"}},
    {"SameFileThroughASymbolicLink",
     [](const ScratchFolder& f) {
         stereoWav(f / "in.wav");
         std::filesystem::create_symlink(f / "in.wav", f / "link.wav");
         return std::vector<std::string>{"expand", f / "link.wav", f / "in.wav"};
     },
     1,
     {"same file"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, BadInput, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadInputFiles, SameFileLeavesTheInputIntact) {
    ScratchFolder folder;
    stereoWav(folder / "in.wav");
    std::string original = readFileBytes(folder / "in.wav");
    ToolResult run = runTool({"expand", folder / "in.wav", folder / "in.wav"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(readFileBytes(folder / "in.wav"), original);
}

TEST(BadInputFiles, FailureMidwayLeavesAnExistingOutputAsItWas) {
    ScratchFolder folder;
    writeAudio(folder / "good.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2,
               testSignal(100000, 2, kRate));
    std::string bytes = readFileBytes(folder / "good.flac");
    writeFileBytes(folder / "cut.flac", bytes.substr(0, bytes.size() * 3 / 4));
    writeFileBytes(folder / "out.wav", "yesterday's result");

    ToolResult run = runTool({"expand", folder / "cut.flac", folder / "out.wav"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(readFileBytes(folder / "out.wav"), "yesterday's result");
    EXPECT_EQ(folder.entries().size(), 3u) << "no temporary file left";
}

TEST(BadInputFiles, UnreadableInput) {
    ScratchFolder folder;
    stereoWav(folder / "in.wav");
    chmod(folder.path().c_str(), 0777);
    chmod((folder / "in.wav").c_str(), 0);
    // Permissions do not bind the super-user, so as root the run is made as an ordinary user.
    ToolOptions options;
    if (geteuid() == 0) options.user = 65534;
    ToolResult run = runTool({"expand", folder / "in.wav", folder / "out.wav"}, options);
    if (options.user && (run.exitCode == 126 || run.exitCode == 127))
        GTEST_SKIP() << "the ordinary user cannot reach the built program from here";
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("cannot read input"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_FALSE(fileExists(folder / "out.wav"));
}

TEST(BadInputFiles, OutputFolderWithoutWritePermission) {
    ScratchFolder folder;
    stereoWav(folder / "in.wav");
    std::filesystem::create_directory(folder / "locked");
    chmod(folder.path().c_str(), 0755);
    ToolOptions options;
    if (geteuid() == 0)
        options.user = 65534;  // the folder stays the super-user's, closed to others
    else
        chmod((folder / "locked").c_str(), 0555);
    ToolResult run = runTool({"expand", folder / "in.wav", folder / "locked/out.wav"}, options);
    if (options.user && (run.exitCode == 126 || run.exitCode == 127))
        GTEST_SKIP() << "the ordinary user cannot reach the built program from here";
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write output"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(folder / "locked"));
}

TEST(BadInputFiles, ReplacingAFileKeepsItsPermissions) {
    ScratchFolder folder;
    stereoWav(folder / "in.wav");
    writeFileBytes(folder / "out.wav", "old");
    chmod((folder / "out.wav").c_str(), 0640);
    ToolResult run = runTool({"expand", folder / "in.wav", folder / "out.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat status {};
    ASSERT_EQ(stat((folder / "out.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(readAudio(folder / "out.wav").channels, 2);
}

TEST(BadInputFiles, WritingIntoALinkReplacesTheTargetNotTheLink) {
    ScratchFolder folder;
    stereoWav(folder / "in.wav");
    std::filesystem::create_directory(folder / "results");
    writeFileBytes(folder / "results/take1.wav", "old");
    std::filesystem::create_symlink(folder / "results/take1.wav", folder / "latest.wav");
    ToolResult run = runTool({"expand", folder / "in.wav", folder / "latest.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "latest.wav"));
    EXPECT_EQ(readAudio(folder / "results/take1.wav").channels, 2);
}

}  // namespace
}  // namespace ve_test
