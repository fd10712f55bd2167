// ve info, ve demo, --help and --version.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "audio_fixtures.h"
#include "library_reference.h"
#include "tool_process.h"
#include "ve32.h"

namespace ve_test {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Info, ListsRatesBackEndsAndTheAutomaticChoice) {
    ToolResult run = runTool({"info"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out,
                         "8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and "
                         "48000 Hz"))
        << run.out;
    EXPECT_TRUE(contains(run.out, "fpu")) << run.out;
    EXPECT_TRUE(contains(run.out, "mmx")) << run.out;
    // The library picks the packed back-end exactly when the processor reports MMX.
    __builtin_cpu_init();
    bool mmx = __builtin_cpu_supports("mmx");
    EXPECT_TRUE(contains(run.out, mmx ? "auto  picks mmx" : "auto  picks fpu")) << run.out;
    EXPECT_TRUE(contains(run.out, mmx ? "MMX yes" : "MMX no")) << run.out;
    for (const char* format : {"WAV", "AIFF", "FLAC", "OGG"})
        EXPECT_TRUE(contains(run.out, format)) << format;
}

TEST(Help, EverySubcommandExplainsItself) {
    struct Case {
        const char* command;
        std::vector<const char*> mentions;
        std::vector<const char*> absent;
    };
    const Case cases[] = {
        {"expand",
         {"--spread", "--center", "--scale", "--delay", "--table", "--backend", "--raw",
          "--resample", "--output-format", "--quiet"},
         {}},
        {"mono2stereo", {"--backend", "--raw", "--resample", "--quiet"}, {"--spread", "--delay"}},
        {"enhance", {"--spread", "--backend", "--raw"}, {}},
        {"info", {"Usage"}, {"--spread"}},
        {"demo", {"--rate", "--seconds", "--backend"}, {"--spread"}},
    };
    for (const auto& c : cases) {
        ToolResult run = runTool({c.command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << c.command;
        for (const char* word : c.mentions)
            EXPECT_TRUE(contains(run.out, word)) << c.command << " " << word;
        for (const char* word : c.absent)
            EXPECT_FALSE(contains(run.out, word)) << c.command << " " << word;
    }
    ToolResult top = runTool({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    for (const char* command : {"expand", "mono2stereo", "enhance", "info", "demo"})
        EXPECT_TRUE(contains(top.out, command)) << command;
}

TEST(Help, NoSubcommandIsAUsageError) {
    ToolResult run = runTool({});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

TEST(Version, PrintsTheProjectVersion) {
    ToolResult run = runTool({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, std::string("ve ") + VE_TOOL_VERSION + "\n");
}

// Width measures computed here, independently of the tool's own meter.
struct Width {
    double sideToMid;
    double correlation;
};

Width widthOf(const AudioFile& audio) {
    double ll = 0, rr = 0, lr = 0, mid = 0, side = 0;
    for (size_t i = 0; i + 1 < audio.samples.size(); i += 2) {
        double l = audio.samples[i], r = audio.samples[i + 1];
        ll += l * l;
        rr += r * r;
        lr += l * r;
        mid += (l + r) * (l + r);
        side += (l - r) * (l - r);
    }
    return {side / mid, lr / std::sqrt(ll * rr)};
}

TEST(Demo, WritesBothEnginesInputsAndOutputsAndReportsTheWidth) {
    ScratchFolder folder;
    const std::string demo = folder / "nested/demo";
    ToolResult run = runTool({"demo", demo, "--seconds", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    AudioFile stereoIn = readAudio(demo + "/stereo-input.wav");
    AudioFile stereoOut = readAudio(demo + "/stereo-expanded.wav");
    AudioFile monoIn = readAudio(demo + "/mono-input.wav");
    AudioFile monoOut = readAudio(demo + "/mono-to-stereo.wav");
    EXPECT_EQ(stereoIn.channels, 2);
    EXPECT_EQ(stereoOut.channels, 2);
    EXPECT_EQ(monoIn.channels, 1);
    EXPECT_EQ(monoOut.channels, 2);
    for (const AudioFile* file : {&stereoIn, &stereoOut, &monoIn, &monoOut}) {
        EXPECT_EQ(file->sampleRate, 44100);
        EXPECT_EQ(file->frames, 88200);
        EXPECT_EQ(file->format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }

    // The outputs are the engines' work on the inputs, and they are wider.
    EXPECT_EQ(stereoOut.samples, libraryExpand(stereoIn.samples, 44100, VE32_BACKEND_AUTO));
    EXPECT_EQ(monoOut.samples, libraryMonoToStereo(monoIn.samples, 44100, VE32_BACKEND_AUTO));
    Width before = widthOf(stereoIn), after = widthOf(stereoOut), monoAfter = widthOf(monoOut);
    EXPECT_GT(after.sideToMid, before.sideToMid * 1.5);
    EXPECT_LT(after.correlation, before.correlation);
    EXPECT_LT(monoAfter.correlation, 0.9);
    EXPECT_GT(monoAfter.sideToMid, 0.05);

    for (const char* part :
         {"stereo-input.wav", "stereo-expanded.wav", "mono-input.wav", "mono-to-stereo.wav",
          "side/mid", "correlation", "Stereo expander", "Mono to stereo"})
        EXPECT_TRUE(contains(run.out, part)) << part;
}

TEST(Demo, RunsAtEverySupportedRateAndRefusesOthers) {
    ScratchFolder folder;
    ToolResult run = runTool({"demo", folder / "d8", "--rate", "8000", "--seconds", "0.5",
                              "--backend", "fpu", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readAudio(folder / "d8/mono-to-stereo.wav").frames, 4000);

    run = runTool({"demo", folder / "d", "--rate", "44000"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.err, "44100")) << run.err;

    writeFileBytes(folder / "file", "x");
    run = runTool({"demo", folder / "file"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "demo folder")) << run.err;
}

}  // namespace
}  // namespace ve_test
