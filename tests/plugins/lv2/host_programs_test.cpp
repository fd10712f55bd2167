// The bundle in real hosts: lv2info and lv2apply (lilv) and ffmpeg's lv2 filter load it from the
// build tree through LV2_PATH, exactly as they would load an installed plugin. What they write
// must be what the library gives for the same 16-bit samples and settings.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "plugins/lv2/plugin_ports.h"
#include "tests/plugins/lv2/library_reference.h"
#include "tests/plugins/lv2/test_signals.h"
#include "tests/plugins/lv2/wav_files.h"

namespace ve::lv2::testing {
namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int exitCode;
    std::string output;  // standard output and standard error
};

CommandResult runCommand(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return {-1, "cannot start: " + command};
    std::string output;
    char buffer[4096];
    while (size_t length = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, length);
    const int status = pclose(pipe);
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {exitCode, output};
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

using Controls = std::vector<std::pair<std::string, float>>;

Controls controlsFor(const ExpanderSettings& s) {
    return {{"spread", s.spread},
            {"center", s.center},
            {"input_scale_l", s.scaleLeft},
            {"input_scale_r", s.scaleRight},
            {"input_delay_l", static_cast<float>(s.delayLeft)},
            {"input_delay_r", static_cast<float>(s.delayRight)},
            {"shaping", static_cast<float>(s.shaping)},
            {"backend", static_cast<float>(s.backend)}};
}

std::string number(float value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

CommandResult lv2apply(const char* uri, const std::string& in, const std::string& out,
                       const Controls& controls) {
    std::string command = "lv2apply -i " + shellQuoted(in) + " -o " + shellQuoted(out);
    for (const auto& [symbol, value] : controls) command += " -c " + symbol + " " + number(value);
    return runCommand(command + " " + uri);
}

// ffmpeg's filter graph and the filter's option parser each take one level of backslashes, and
// both treat ':' as a separator, so every ':' of the URI becomes "\\:".
std::string ffmpegFilter(const char* uri, const Controls& controls) {
    std::string filter = "lv2=p=";
    for (const char* c = uri; *c != '\0'; ++c)
        filter += *c == ':' ? std::string("\\\\:") : std::string(1, *c);
    for (size_t i = 0; i < controls.size(); ++i) {
        filter += (i == 0 ? ":c=" : "|") + controls[i].first + "=" + number(controls[i].second);
    }
    return filter;
}

// With blockFrames > 0 the plugin gets blocks of exactly that length (the last one shorter);
// otherwise ffmpeg's own, which for WAV input are the demuxer's packets of 1024 frames.
CommandResult ffmpeg(const char* uri, const std::string& in, const std::string& out,
                     const Controls& controls, size_t blockFrames = 0) {
    std::string filters = ffmpegFilter(uri, controls);
    if (blockFrames != 0)
        filters = "asetnsamples=n=" + std::to_string(blockFrames) + ":p=0," + filters;
    return runCommand("ffmpeg -nostdin -hide_banner -loglevel error -y -i " + shellQuoted(in) +
                      " -af " + shellQuoted(filters) + " -c:a pcm_s16le " + shellQuoted(out));
}

struct ExpanderCase {
    const char* name;
    int rate;
    ExpanderSettings settings;
};

const ExpanderCase kExpanderCases[] = {
    {"defaults", 44100, {}},
    {"gains and delays", 48000, {6.0f, -4.5f, -2.0f, 1.5f, 10, 3, 0, 0}},
    {"section shaping, floating point, longest delay",
     22050,
     {3.0f, 0.0f, 0.0f, 0.0f, 0, kMaxInputDelay, 1, VE32_BACKEND_FPU}},
    {"packed 16-bit, quietest spread", 8000, {-60.0f, 2.0f, 0.0f, 0.0f, 1, 0, 0, VE32_BACKEND_MMX}},
};

constexpr size_t kFrames = 20000;
const int kSupportedRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

class HostPrograms : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("LV2_PATH", VE_LV2_PATH, 1);
        char pattern[] = "/tmp/ve-lv2-hosts-XXXXXX";
        directory_ = mkdtemp(pattern);
    }
    static void TearDownTestSuite() { fs::remove_all(directory_); }

    static std::string file(const std::string& name) { return (directory_ / name).string(); }

    // The library's output for a 16-bit stereo signal, called with blocks of `blockFrames` as the
    // host calls the plugin (0: one call for everything, which the library cuts into 1024-frame
    // blocks itself). The blocks matter in the last bit: see library_reference.h.
    static std::vector<int16_t> expanded(int rate, const ExpanderSettings& settings,
                                         const std::vector<int16_t>& interleaved,
                                         size_t blockFrames = 0) {
        const size_t frames = interleaved.size() / 2;
        const size_t step = blockFrames == 0 ? frames : blockFrames;
        std::vector<int16_t> out(interleaved.size());
        LibraryExpander library(rate, settings);
        for (size_t first = 0; first < frames; first += step) {
            library.process(interleaved, out, first, std::min(step, frames - first));
        }
        return out;
    }

    static std::vector<int16_t> stereoMaterial(size_t frames) {
        return interleave(makeChannel(frames, 11), makeChannel(frames, 29));
    }

    static inline fs::path directory_;
};

TEST_F(HostPrograms, Lv2infoDescribesBothPlugins) {
    struct Expected {
        const char* uri;
        std::vector<std::string> symbols;
        int enabledPort;
        int latencyPort;
    };
    const Expected plugins[] = {
        {kStereoExpanderUri,
         {"in_l", "in_r", "out_l", "out_r", "enabled", "spread", "center", "input_scale_l",
          "input_scale_r", "input_delay_l", "input_delay_r", "shaping", "backend", "latency"},
         4,
         13},
        {kMonoToStereoUri, {"in", "out_l", "out_r", "enabled", "latency"}, 3, 4},
    };
    const CommandResult listing = runCommand("lv2ls");
    for (const Expected& plugin : plugins) {
        SCOPED_TRACE(plugin.uri);
        EXPECT_NE(listing.output.find(plugin.uri), std::string::npos) << listing.output;
        const CommandResult info = runCommand(std::string("lv2info ") + plugin.uri);
        ASSERT_EQ(info.exitCode, 0) << info.output;
        const std::string& text = info.output;

        // Each port's section, in index order.
        std::vector<std::string> sections;
        for (size_t i = 0; i < plugin.symbols.size(); ++i) {
            const std::string header = "\tPort " + std::to_string(i) + ":";
            const size_t begin = text.find(header);
            ASSERT_NE(begin, std::string::npos) << header;
            const size_t end = text.find("\tPort " + std::to_string(i + 1) + ":", begin);
            sections.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
            EXPECT_NE(sections.back().find("Symbol:      " + plugin.symbols[i] + "\n"),
                      std::string::npos)
                << sections.back();
        }
        EXPECT_EQ(text.find("\tPort " + std::to_string(plugin.symbols.size()) + ":"),
                  std::string::npos);
        EXPECT_NE(sections[plugin.enabledPort].find("lv2core#enabled"), std::string::npos);
        EXPECT_NE(sections[plugin.latencyPort].find("lv2core#latency"), std::string::npos);
        EXPECT_NE(text.find("reported by port " + std::to_string(plugin.latencyPort)),
                  std::string::npos);
        EXPECT_NE(text.find("lv2core#hardRTCapable"), std::string::npos);
        EXPECT_EQ(text.find("Required Features"), std::string::npos)
            << "hosts without a feature must load it";
    }
    const std::string expander = runCommand(std::string("lv2info ") + kStereoExpanderUri).output;
    EXPECT_NE(expander.find("worker#schedule"), std::string::npos);
    EXPECT_NE(expander.find("worker#interface"), std::string::npos);
    for (const char* point :
         {"0 = \"Pole pairs\"", "1 = \"Second-order section\"", "0 = \"Automatic\"",
          "1 = \"Floating point\"", "2 = \"Packed 16-bit\""}) {
        EXPECT_NE(expander.find(point), std::string::npos) << point;
    }
}

// lv2apply runs the plugin one frame at a time.
constexpr size_t kLv2applyBlock = 1;

TEST_F(HostPrograms, Lv2applyExpanderOutputEqualsTheLibrary) {
    // lv2apply writes in the format it read; float files carry the 16-bit samples both ways
    // without any rounding of the file layer.
    const std::vector<int16_t> in = stereoMaterial(kFrames);
    for (const ExpanderCase& c : kExpanderCases) {
        SCOPED_TRACE(c.name);
        writeWavFloat(file("in.wav"), c.rate, 2, toFloat(in));
        const CommandResult result =
            lv2apply(kStereoExpanderUri, file("in.wav"), file("out.wav"), controlsFor(c.settings));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const WavFloat out = readWavFloat(file("out.wav"));
        ASSERT_EQ(out.channels, 2);
        ASSERT_EQ(out.samples.size(), in.size());
        EXPECT_EQ(out.samples, toFloat(expanded(c.rate, c.settings, in, kLv2applyBlock)));
    }
}

TEST_F(HostPrograms, Lv2applyOn16BitFilesEqualsTheLibraryUpToTheFileWriter) {
    // lv2apply reads a 16-bit file as s / 32768, but libsndfile writes 16-bit samples as
    // round(x * 32767): the file holds the library's output y as round(y / 32768 * 32767), one
    // step lower than y for about every other sample above half scale.
    const std::vector<int16_t> in = stereoMaterial(kFrames);
    const ExpanderSettings settings{6.0f, -3.0f, 0.0f, 0.0f, 4, 0, 0, 0};
    writeWav16(file("in16.wav"), 44100, 2, in);
    const CommandResult result =
        lv2apply(kStereoExpanderUri, file("in16.wav"), file("out16.wav"), controlsFor(settings));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const Wav16 out = readWav16(file("out16.wav"));
    const std::vector<int16_t> reference = expanded(44100, settings, in, kLv2applyBlock);
    ASSERT_EQ(out.samples.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) {
        // The writer's arithmetic: the float sample times 32767.0f, rounded to nearest even.
        const float sample = static_cast<float>(reference[i]) / 32768.0f;
        const auto written = static_cast<int16_t>(std::lrintf(sample * 32767.0f));
        ASSERT_EQ(out.samples[i], written) << "sample " << i << ", library " << reference[i];
    }
}

TEST_F(HostPrograms, Lv2applyMonoToStereoOutputEqualsTheLibrary) {
    const std::vector<int16_t> in = makeChannel(kFrames, 5);
    for (int rate : {11025, 44100}) {
        SCOPED_TRACE(rate);
        writeWavFloat(file("mono.wav"), rate, 1, toFloat(in));
        const CommandResult result =
            lv2apply(kMonoToStereoUri, file("mono.wav"), file("out.wav"), {});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const WavFloat out = readWavFloat(file("out.wav"));
        ASSERT_EQ(out.channels, 2);
        EXPECT_EQ(out.samples, toFloat(libraryMonoToStereo(rate, in, kLv2applyBlock)));
    }
}

TEST_F(HostPrograms, Lv2applyBypassLeavesTheSignalUnchanged) {
    std::vector<float> stereo(2 * 5000), mono(5000);
    for (size_t t = 0; t < mono.size(); ++t) {
        mono[t] = 0.9f * std::sin(0.003f * static_cast<float>(t)) + 1e-6f;
        stereo[2 * t] = mono[t];
        stereo[2 * t + 1] = -0.5f * mono[t] + 3e-7f;
    }
    writeWavFloat(file("stereo.wav"), 48000, 2, stereo);
    CommandResult result =
        lv2apply(kStereoExpanderUri, file("stereo.wav"), file("out.wav"),
                 {{"enabled", 0.0f}, {"spread", 6.0f}, {"input_delay_l", 30.0f}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readWavFloat(file("out.wav")).samples, stereo);

    writeWavFloat(file("mono.wav"), 48000, 1, mono);
    result = lv2apply(kMonoToStereoUri, file("mono.wav"), file("out.wav"), {{"enabled", 0.0f}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<float> both = readWavFloat(file("out.wav")).samples;
    ASSERT_EQ(both.size(), stereo.size());
    for (size_t t = 0; t < mono.size(); ++t) {
        ASSERT_EQ(both[2 * t], mono[t]) << t;
        ASSERT_EQ(both[2 * t + 1], mono[t]) << t;
    }
}

TEST_F(HostPrograms, Lv2applyGetsARefusalAtAnUnsupportedRate) {
    // lv2apply has no log feature: the plugin says why on standard error. (lilv 0.24 lv2apply
    // then crashes on the refused instance; later versions exit with an error. Either way it
    // fails and the reason is there.)
    writeWavFloat(file("fast.wav"), 96000, 2, std::vector<float>(2000, 0.25f));
    const CommandResult result =
        lv2apply(kStereoExpanderUri, file("fast.wav"), file("out.wav"), {});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.output.find("cannot run at 96000 Hz"), std::string::npos) << result.output;
}

TEST_F(HostPrograms, FfmpegExpanderOutputEqualsTheLibrary) {
    const std::vector<int16_t> in = stereoMaterial(kFrames);
    for (const ExpanderCase& c : kExpanderCases) {
        for (size_t block : {0, 333, 8192}) {
            SCOPED_TRACE(::testing::Message() << c.name << ", blocks of " << block);
            writeWav16(file("in.wav"), c.rate, 2, in);
            const CommandResult result = ffmpeg(kStereoExpanderUri, file("in.wav"), file("out.wav"),
                                                controlsFor(c.settings), block);
            ASSERT_EQ(result.exitCode, 0) << result.output;
            const Wav16 out = readWav16(file("out.wav"));
            EXPECT_EQ(out.rate, c.rate);
            EXPECT_EQ(out.samples, expanded(c.rate, c.settings, in, block));
        }
    }
}

TEST_F(HostPrograms, FfmpegRunsBothPluginsAtEverySupportedRate) {
    const std::vector<int16_t> mono = makeChannel(3000, 7);
    const std::vector<int16_t> stereo = stereoMaterial(3000);
    const ExpanderSettings settings{4.0f, -2.0f, 0.0f, 0.0f, 2, 5, 0, 0};
    for (int rate : kSupportedRates) {
        SCOPED_TRACE(rate);
        writeWav16(file("stereo.wav"), rate, 2, stereo);
        CommandResult result =
            ffmpeg(kStereoExpanderUri, file("stereo.wav"), file("out.wav"), controlsFor(settings));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(readWav16(file("out.wav")).samples, expanded(rate, settings, stereo));

        writeWav16(file("mono.wav"), rate, 1, mono);
        result = ffmpeg(kMonoToStereoUri, file("mono.wav"), file("out.wav"), {});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const Wav16 out = readWav16(file("out.wav"));
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.samples, libraryMonoToStereo(rate, mono));
    }
}

TEST_F(HostPrograms, FfmpegRefusesOtherRatesWithTheReason) {
    for (int rate : {44000, 96000}) {
        for (const char* uri : {kStereoExpanderUri, kMonoToStereoUri}) {
            SCOPED_TRACE(::testing::Message() << uri << " at " << rate);
            const int channels = std::string(uri) == kStereoExpanderUri ? 2 : 1;
            writeWav16(file("odd.wav"), rate, channels,
                       std::vector<int16_t>(channels * 2000, 1000));
            fs::remove(file("out.wav"));
            const CommandResult result = ffmpeg(uri, file("odd.wav"), file("out.wav"), {});
            EXPECT_NE(result.exitCode, 0);
            EXPECT_NE(result.output.find("cannot run at " + std::to_string(rate) + " Hz"),
                      std::string::npos)
                << result.output;
        }
    }
}

TEST_F(HostPrograms, FfmpegBypassLeavesTheSignalUnchanged) {
    const std::vector<int16_t> stereo = stereoMaterial(kFrames);
    writeWav16(file("in.wav"), 32000, 2, stereo);
    CommandResult result = ffmpeg(kStereoExpanderUri, file("in.wav"), file("out.wav"),
                                  {{"enabled", 0.0f}, {"spread", 9.0f}, {"shaping", 1.0f}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readWav16(file("out.wav")).samples, stereo);

    const std::vector<int16_t> mono = makeChannel(kFrames, 3);
    writeWav16(file("mono.wav"), 32000, 1, mono);
    result = ffmpeg(kMonoToStereoUri, file("mono.wav"), file("out.wav"), {{"enabled", 0.0f}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readWav16(file("out.wav")).samples, interleave(mono, mono));
}

TEST_F(HostPrograms, InstalledBundleIsSelfContained) {
    // `cmake --install` puts the bundle where LV2 hosts look; the binary brings the library with
    // it and shows the host nothing but its entry point.
    const fs::path prefix = directory_ / "prefix";
    const CommandResult install =
        runCommand("cmake --install " + shellQuoted(VE_BUILD_DIR) + " --component lv2 --prefix " +
                   shellQuoted(prefix.string()));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    const fs::path bundle = prefix / VE_LV2_INSTALL_DIR / "ve.lv2";
    for (const char* name :
         {"manifest.ttl", "stereo_expander.ttl", "mono_to_stereo.ttl", "ve_lv2.so"}) {
        EXPECT_TRUE(fs::exists(bundle / name)) << (bundle / name);
    }

    const CommandResult symbols =
        runCommand("nm -D --defined-only " + shellQuoted((bundle / "ve_lv2.so").string()));
    ASSERT_EQ(symbols.exitCode, 0) << symbols.output;
    std::istringstream lines(symbols.output);
    std::vector<std::string> exported;
    for (std::string line; std::getline(lines, line);)
        exported.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(exported, std::vector<std::string>{"lv2_descriptor"}) << symbols.output;

    const std::vector<int16_t> in = stereoMaterial(4000);
    writeWavFloat(file("in.wav"), 44100, 2, toFloat(in));
    const CommandResult result = runCommand(
        "env -u LD_LIBRARY_PATH LV2_PATH=" + shellQuoted((prefix / VE_LV2_INSTALL_DIR).string()) +
        " lv2apply -i " + shellQuoted(file("in.wav")) + " -o " + shellQuoted(file("out.wav")) +
        " " + kStereoExpanderUri);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readWavFloat(file("out.wav")).samples,
              toFloat(expanded(44100, {}, in, kLv2applyBlock)));
}

}  // namespace
}  // namespace ve::lv2::testing
