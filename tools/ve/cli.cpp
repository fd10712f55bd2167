#include "cli.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <optional>
#include <string>

#include "demo_command.h"
#include "errors.h"
#include "info_command.h"
#include "process_command.h"
#include "supported_rates.h"
#include "value_parsing.h"

namespace ve_cli {
namespace {

constexpr NumberRange kGainRange{-200.0f, 24.0f};
constexpr NumberRange kDemoSecondsRange{0.1f, 600.0f};
constexpr CountRange kDelayRange{0, 96000};
constexpr CountRange kRateRange{1, 1000000};
constexpr CountRange kChannelRange{1, 256};
constexpr CountRange kBlockRange{1, 65536};

// Option values arrive as text and are checked by ve itself, so every malformed value gets the
// same kind of message naming the option and what it accepts.
struct ProcessOptionTexts {
    std::string input;
    std::string output;
    std::string backend = "auto";
    std::string spread, center, scale, delay, table = "poles";
    std::string raw, rate, channels, outputFormat, block;
    bool resample = false;
    bool quiet = false;
};

struct DemoOptionTexts {
    std::string folder = "out/demo";
    std::string rate = "44100";
    std::string seconds = "4";
    std::string backend = "auto";
    bool quiet = false;
};

BackendChoice parseBackend(const std::string& text) {
    if (text == "auto") return BackendChoice::Auto;
    if (text == "fpu") return BackendChoice::Fpu;
    if (text == "mmx") return BackendChoice::Mmx;
    throw UsageError(
        fmt::format("invalid value '{}' for --backend: expected auto, fpu or mmx", text));
}

void addBackendOption(CLI::App* command, std::string& target) {
    command
        ->add_option("--backend", target,
                     "Arithmetic back-end: auto (packed 16-bit when the processor has MMX, "
                     "else floating point), fpu (32-bit floating point) or mmx (packed "
                     "16-bit fixed point)")
        ->type_name("auto|fpu|mmx")
        ->default_str("auto");
}

void addProcessOptions(CLI::App* command, ProcessOptionTexts& texts, bool expanderOptions) {
    command->add_option("input", texts.input, "Input audio file, or - for standard input")
        ->required();
    command
        ->add_option("output", texts.output,
                     "Output file (its extension picks the container), or - for raw PCM on "
                     "standard output")
        ->required();
    if (expanderOptions) {
        command
            ->add_option("--spread", texts.spread,
                         "Level of the added difference signal in dB (-200 to 24; default 0)")
            ->type_name("DB");
        command
            ->add_option("--center", texts.center,
                         "Weight of each channel's own signal taken out of its difference "
                         "path, in dB (-200 to 24; default 0)")
            ->type_name("DB");
        command
            ->add_option("--scale", texts.scale,
                         "Input scale of the left and right channel in dB (-200 to 24 each; "
                         "default 0,0)")
            ->type_name("LEFT,RIGHT");
        command
            ->add_option("--delay", texts.delay,
                         "Input delay of the left and right channel in samples (0 to 96000 "
                         "each; default 0,0)")
            ->type_name("LEFT,RIGHT");
        command
            ->add_option("--table", texts.table,
                         "Shaping filter: poles (pole-pair table, default) or sections (one "
                         "pole-zero section)")
            ->type_name("poles|sections");
    }
    addBackendOption(command, texts.backend);
    command->add_flag("--resample", texts.resample,
                      "Convert an input at another sample rate to the nearest supported rate "
                      "for processing, and back");
    command
        ->add_option("--raw", texts.raw,
                     "The input is headerless PCM: u8 (unsigned 8-bit) or s16 (signed 16-bit "
                     "little-endian); needs --rate and --channels")
        ->type_name("u8|s16");
    command->add_option("--rate", texts.rate, "Sample rate of raw input in Hz")->type_name("HZ");
    command->add_option("--channels", texts.channels, "Channels of raw input (1 or 2)")
        ->type_name("N");
    command
        ->add_option("--output-format", texts.outputFormat,
                     "Sample encoding of the output: u8, s8, s16, s24, s32, float, double, "
                     "ulaw, alaw or vorbis (default: the input's; raw output takes u8 or s16)")
        ->type_name("ENCODING");
    command
        ->add_option("--block", texts.block,
                     "Frames processed per step (1 to 65536; default 1024); a stream's "
                     "delay through ve is at most one block")
        ->type_name("FRAMES");
    command->add_flag("-q,--quiet", texts.quiet, "Show no progress and no notes");
}

ProcessRequest makeRequest(ProcessCommand command, const ProcessOptionTexts& texts,
                           const CLI::App* app) {
    ProcessRequest request;
    request.command = command;
    request.input = texts.input;
    request.output = texts.output;
    request.quiet = texts.quiet;
    request.resample = texts.resample;
    request.backend = parseBackend(texts.backend);

    auto given = [app](const char* name) {
        auto* option = app->get_option_no_throw(name);
        return option && option->count() > 0;
    };
    if (given("--spread")) {
        request.expander.spreadDb = parseNumber("--spread", texts.spread, kGainRange, "dB");
        request.expanderOptionsGiven.push_back("--spread");
    }
    if (given("--center")) {
        request.expander.centerDb = parseNumber("--center", texts.center, kGainRange, "dB");
        request.expanderOptionsGiven.push_back("--center");
    }
    if (given("--scale")) {
        auto [left, right] = parseNumberPair("--scale", texts.scale, kGainRange, "dB");
        request.expander.scaleLeftDb = left;
        request.expander.scaleRightDb = right;
        request.expanderOptionsGiven.push_back("--scale");
    }
    if (given("--delay")) {
        auto [left, right] = parseCountPair("--delay", texts.delay, kDelayRange, "samples");
        request.expander.delayLeft = static_cast<int>(left);
        request.expander.delayRight = static_cast<int>(right);
        request.expanderOptionsGiven.push_back("--delay");
    }
    if (given("--table")) {
        if (texts.table != "poles" && texts.table != "sections")
            throw UsageError(fmt::format(
                "invalid value '{}' for --table: expected poles or sections", texts.table));
        request.expander.sectionTable = texts.table == "sections";
        request.expanderOptionsGiven.push_back("--table");
    }

    if (given("--raw")) {
        request.raw = rawSampleTypeFromName(texts.raw);
        if (!request.raw)
            throw UsageError(fmt::format(
                "invalid value '{}' for --raw: expected u8 (unsigned 8-bit) or s16 (signed "
                "16-bit little-endian)",
                texts.raw));
        if (!given("--rate") || !given("--channels"))
            throw UsageError("raw input has no header, so --raw needs --rate and --channels");
        request.rawRate = static_cast<int>(parseCount("--rate", texts.rate, kRateRange, "Hz"));
        request.rawChannels =
            static_cast<int>(parseCount("--channels", texts.channels, kChannelRange, "channels"));
    } else if (given("--rate") || given("--channels")) {
        throw UsageError(
            "--rate and --channels describe raw input; use them together with --raw "
            "(files carry their own rate and channel count)");
    }
    if (given("--output-format")) {
        request.outputSubtype = subtypeFromName(texts.outputFormat);
        if (!request.outputSubtype)
            throw UsageError(
                fmt::format("invalid value '{}' for --output-format: expected one of "
                            "{}",
                            texts.outputFormat, subtypeNames()));
    }
    if (given("--block"))
        request.blockFrames =
            static_cast<size_t>(parseCount("--block", texts.block, kBlockRange, "frames"));
    return request;
}

DemoRequest makeDemoRequest(const DemoOptionTexts& texts) {
    DemoRequest request;
    request.folder = texts.folder;
    request.quiet = texts.quiet;
    request.backend = parseBackend(texts.backend);
    request.sampleRate = static_cast<int>(parseCount("--rate", texts.rate, kRateRange, "Hz"));
    if (!isSupportedRate(request.sampleRate))
        throw UsageError(fmt::format("invalid value '{}' for --rate: expected one of {}",
                                     texts.rate, supportedRatesText()));
    request.seconds = parseNumber("--seconds", texts.seconds, kDemoSecondsRange, "seconds");
    return request;
}

// One line per failure, as for every other error ve reports.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    CLI::App app{"ve: real-time stereo enhancement of audio files and streams", "ve"};
    app.set_version_flag("--version", std::string("ve ") + VE_TOOL_VERSION);
    app.require_subcommand(1);
    ProcessOptionTexts expandTexts, monoTexts, enhanceTexts;
    DemoOptionTexts demoTexts;

    auto* expand = app.add_subcommand("expand", "Widen a stereo file or stream");
    addProcessOptions(expand, expandTexts, true);
    expand->footer(
        "Examples:\n"
        "  ve expand live.wav live-wide.wav --spread 3\n"
        "  ve expand in.flac out.flac --center -6 --delay 0,12\n"
        "  arecord -f S16_LE -r 44100 -c 2 | ve expand - - --raw s16 --rate 44100 --channels 2 "
        "| aplay -f S16_LE -r 44100 -c 2");
    auto* mono = app.add_subcommand("mono2stereo", "Turn a mono file or stream into stereo");
    addProcessOptions(mono, monoTexts, false);
    mono->footer(
        "Examples:\n"
        "  ve mono2stereo interview.wav interview-stereo.wav\n"
        "  arecord -f S16_LE -r 48000 -c 1 | ve mono2stereo - - --raw s16 --rate 48000 "
        "--channels 1 | aplay -f S16_LE -r 48000 -c 2");
    auto* enhance = app.add_subcommand(
        "enhance", "Widen stereo input or turn mono input into stereo, whichever the input is");
    addProcessOptions(enhance, enhanceTexts, true);
    enhance->footer(
        "Examples:\n"
        "  ve enhance song.flac song-wide.flac\n"
        "  ve enhance old-radio.wav old-radio-stereo.wav --resample");
    auto* info = app.add_subcommand(
        "info", "Show supported rates and formats, the back-ends, and what this processor offers");
    auto* demo = app.add_subcommand(
        "demo",
        "Synthesise stereo and mono material, run both engines, write WAV files and a "
        "summary of the stereo width before and after");
    demo->add_option("folder", demoTexts.folder, "Folder for the WAV files (created if needed)")
        ->default_str("out/demo");
    demo->add_option("--rate", demoTexts.rate, "Sample rate in Hz (a supported rate)")
        ->type_name("HZ")
        ->default_str("44100");
    demo->add_option("--seconds", demoTexts.seconds, "Length of the material (0.1 to 600 s)")
        ->type_name("S")
        ->default_str("4");
    addBackendOption(demo, demoTexts.backend);
    demo->add_flag("-q,--quiet", demoTexts.quiet, "Print no summary");
    // Set last: subcommands created after it would repeat it under their own help.
    app.footer("Run 've COMMAND --help' for the options and examples of one command.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string where = "ve";
        for (const auto* sub : app.get_subcommands()) where += " " + sub->get_name();
        fmt::print(stderr, "ve: {}; see '{} --help'\n", oneLine(e.what()), where);
        return kExitUsage;
    }

    try {
        if (expand->parsed())
            runProcess(makeRequest(ProcessCommand::Expand, expandTexts, expand));
        else if (mono->parsed())
            runProcess(makeRequest(ProcessCommand::MonoToStereo, monoTexts, mono));
        else if (enhance->parsed())
            runProcess(makeRequest(ProcessCommand::Enhance, enhanceTexts, enhance));
        else if (info->parsed())
            runInfo();
        else if (demo->parsed())
            runDemo(makeDemoRequest(demoTexts));
        return 0;
    } catch (const UsageError& e) {
        fmt::print(stderr, "ve: {}\n", oneLine(e.what()));
        return kExitUsage;
    } catch (const ToolError& e) {
        fmt::print(stderr, "ve: {}\n", oneLine(e.what()));
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        fmt::print(stderr, "ve: out of memory\n");
        return kExitFailure;
    }
}

}  // namespace ve_cli
