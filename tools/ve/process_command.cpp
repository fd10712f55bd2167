#include "process_command.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "errors.h"
#include "frame_stream.h"
#include "output_file.h"
#include "progress.h"
#include "raw_stream.h"
#include "resampling.h"
#include "sndfile_sink.h"
#include "sndfile_source.h"
#include "supported_rates.h"

namespace ve_cli {
namespace {

void note(bool quiet, const std::string& text) {
    if (!quiet) fmt::print(stderr, "ve: note: {}\n", text);
}

std::string channelCount(int channels) {
    return fmt::format("{} channel{}", channels, channels == 1 ? "" : "s");
}

EngineKind chooseEngine(ProcessCommand command, int channels, const std::string& description) {
    switch (command) {
        case ProcessCommand::Expand:
            if (channels == 2) return EngineKind::Expander;
            throw ToolError(
                fmt::format("{} has {}; ve expand takes stereo (2-channel) input (for "
                            "mono use ve mono2stereo or ve enhance)",
                            description, channelCount(channels)));
        case ProcessCommand::MonoToStereo:
            if (channels == 1) return EngineKind::MonoToStereo;
            throw ToolError(
                fmt::format("{} has {}; ve mono2stereo takes mono (1-channel) input "
                            "(for stereo use ve expand or ve enhance)",
                            description, channelCount(channels)));
        case ProcessCommand::Enhance:
            if (channels == 2) return EngineKind::Expander;
            if (channels == 1) return EngineKind::MonoToStereo;
            throw ToolError(
                fmt::format("{} has {}; ve enhance takes mono (1-channel) or stereo "
                            "(2-channel) input",
                            description, channelCount(channels)));
    }
    throw std::logic_error("unknown command");
}

std::unique_ptr<FrameSource> openRawSource(const ProcessRequest& request) {
    if (request.input == "-") {
        if (isatty(STDIN_FILENO))
            throw ToolError(
                "standard input is a terminal; pipe audio into ve or name an input "
                "file");
        return std::make_unique<RawSource>(STDIN_FILENO, false, "standard input", *request.raw,
                                           request.rawRate, request.rawChannels);
    }
    std::string description = fmt::format("input '{}'", request.input);
    struct stat status {};
    if (stat(request.input.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        throw ToolError(fmt::format("{} is a directory; expected a file of raw PCM", description));
    int fd = open(request.input.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ToolError(fmt::format("cannot read {}: {} (expected a file of raw {} PCM)",
                                    description, std::strerror(errno),
                                    rawSampleTypeName(*request.raw)));
    return std::make_unique<RawSource>(fd, true, description, *request.raw, request.rawRate,
                                       request.rawChannels);
}

void refuseSameFile(const std::string& input, const std::string& output) {
    if (input == "-" || output == "-") return;
    struct stat in {
    }, out{};
    if (stat(input.c_str(), &in) != 0 || stat(output.c_str(), &out) != 0) return;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        throw ToolError(
            fmt::format("input '{}' and output '{}' are the same file; write the "
                        "result to a different path",
                        input, output));
}

RawSampleType rawOutputType(const ProcessRequest& request, bool eightBitPath) {
    if (request.outputSubtype) {
        if (*request.outputSubtype == SF_FORMAT_PCM_U8) return RawSampleType::U8;
        if (*request.outputSubtype == SF_FORMAT_PCM_16) return RawSampleType::S16;
        throw UsageError(
            fmt::format("standard output carries raw u8 or s16 samples; "
                        "--output-format {} needs an output file",
                        describeSubtype(*request.outputSubtype)));
    }
    if (request.raw) return *request.raw;
    return eightBitPath ? RawSampleType::U8 : RawSampleType::S16;
}

// Gathers a whole block unless the input ends first. The floating-point filters keep their state
// at full precision within one call and round it at the call's end, so the output depends (by a
// step now and then) on where calls begin. Whole blocks put those boundaries at the same places
// however the input arrives: a pipe gives the same output as the file, at the cost of at most
// one block of delay.
template <typename Sample>
size_t readBlock(FrameSource& source, Sample* block, size_t blockFrames) {
    const size_t channels = static_cast<size_t>(source.shape().channels);
    size_t filled = 0;
    while (filled < blockFrames) {
        size_t got = source.read(block + filled * channels, blockFrames - filled);
        if (got == 0) break;
        filled += got;
    }
    return filled;
}

// Reads and writes `blocksPerRead` blocks at a time (fewer system calls on files) and hands the
// engine one block per call, so its block boundaries stay at multiples of blockFrames.
template <typename Sample>
void pump(FrameSource& source, Engine& engine, FrameSink& sink, size_t blockFrames,
          size_t blocksPerRead, const FrameSource& original, Progress& progress) {
    const size_t inChannels = static_cast<size_t>(source.shape().channels);
    const size_t chunkFrames = blockFrames * blocksPerRead;
    std::vector<Sample> in(chunkFrames * inChannels);
    std::vector<Sample> out(chunkFrames * 2);
    while (size_t frames = readBlock(source, in.data(), chunkFrames)) {
        for (size_t at = 0; at < frames; at += blockFrames)
            engine.process(in.data() + at * inChannels, out.data() + at * 2,
                           std::min(blockFrames, frames - at));
        sink.write(out.data(), frames);
        progress.update(original.framesRead());
    }
}

}  // namespace

void runProcess(const ProcessRequest& request) {
    std::unique_ptr<FrameSource> source;
    SndfileSource* fileSource = nullptr;
    int inputFormat = 0;
    std::string description;
    if (request.raw) {
        source = openRawSource(request);
        inputFormat = SF_FORMAT_WAV |
                      (*request.raw == RawSampleType::U8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        description =
            request.input == "-" ? "standard input" : fmt::format("input '{}'", request.input);
    } else {
        auto file = std::make_unique<SndfileSource>(request.input);
        fileSource = file.get();
        inputFormat = file->format();
        description = file->description();
        source = std::move(file);
    }
    const StreamShape shape = source->shape();

    const EngineKind engineKind = chooseEngine(request.command, shape.channels, description);
    if (engineKind == EngineKind::MonoToStereo && !request.expanderOptionsGiven.empty()) {
        std::string names;
        for (const auto& name : request.expanderOptionsGiven)
            names += (names.empty() ? "" : ", ") + name;
        bool one = request.expanderOptionsGiven.size() == 1;
        note(request.quiet, fmt::format("{} {} only to stereo input; ignored for mono {}", names,
                                        one ? "applies" : "apply", description));
    }

    int processingRate = shape.sampleRate;
    if (!isSupportedRate(shape.sampleRate)) {
        int nearest = nearestSupportedRate(shape.sampleRate);
        if (!request.resample)
            throw ToolError(
                fmt::format("{} is sampled at {} Hz; the engines take {}; add "
                            "--resample to convert to {} Hz and back",
                            description, shape.sampleRate, supportedRatesText(), nearest));
        processingRate = nearest;
        note(request.quiet, fmt::format("resampling {} Hz to {} Hz for processing and back",
                                        shape.sampleRate, nearest));
    }
    const bool resampling = processingRate != shape.sampleRate;
    const bool eightBitPath = source->holdsEightBitSamples() && !resampling;
    if (fileSource && !fileSource->holdsEightBitSamples() && !fileSource->holdsSixteenBitSamples())
        note(request.quiet, fmt::format("{} holds {} samples; processing at 16 bits", description,
                                        describeSubtype(inputFormat)));

    refuseSameFile(request.input, request.output);
    int outputFormat = 0;
    RawSampleType rawOutput = RawSampleType::S16;
    if (request.output == "-") {
        rawOutput = rawOutputType(request, eightBitPath);
        if (isatty(STDOUT_FILENO))
            throw ToolError(
                "standard output is a terminal; pipe ve's output into a player or "
                "name an output file");
    } else {
        outputFormat = chooseOutputFormat(request.output, inputFormat, request.outputSubtype, 2,
                                          shape.sampleRate);
    }

    Engine engine(engineKind, processingRate, request.backend, request.expander);

    std::unique_ptr<OutputFile> outputFile;
    std::unique_ptr<FrameSink> sink;
    if (request.output == "-") {
        sink = std::make_unique<RawSink>(STDOUT_FILENO, "standard output", rawOutput, 2);
    } else {
        outputFile = std::make_unique<OutputFile>(request.output);
        sink = std::make_unique<SndfileSink>(outputFile->fd(), outputFile->description(),
                                             outputFormat, shape.sampleRate, 2,
                                             fileSource ? fileSource->handle() : nullptr);
    }

    // A live stream on standard input goes through one block at a time, so that each block
    // leaves as soon as it is complete; files are read in larger pieces.
    constexpr size_t kFileReadFrames = 16384;
    const size_t blocksPerRead =
        request.input == "-" ? 1 : std::max<size_t>(1, kFileReadFrames / request.blockFrames);
    Progress progress(progressWanted(request.quiet), shape.sampleRate, shape.frames);
    if (resampling) {
        ResamplingSource resampledSource(*source, processingRate);
        ResamplingSink resampledSink(*sink, 2, processingRate, shape.sampleRate);
        pump<int16_t>(resampledSource, engine, resampledSink, request.blockFrames, blocksPerRead,
                      *source, progress);
        // The converters hold back a few frames each way; the output gets exactly the input's
        // length, as without resampling.
        resampledSink.finishWithLength(source->framesRead());
    } else {
        if (eightBitPath)
            pump<uint8_t>(*source, engine, *sink, request.blockFrames, blocksPerRead, *source,
                          progress);
        else
            pump<int16_t>(*source, engine, *sink, request.blockFrames, blocksPerRead, *source,
                          progress);
        sink->finish();
    }
    progress.finish(source->framesRead());
    if (outputFile) outputFile->commit();
}

}  // namespace ve_cli
