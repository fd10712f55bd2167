#include "demo_command.h"

#include <fmt/format.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cpu_features.h"
#include "demo_material.h"
#include "errors.h"
#include "output_file.h"
#include "process_command.h"
#include "sndfile_sink.h"
#include "stereo_metrics.h"

namespace ve_cli {
namespace {

void writeMaterial(SynthesisedSource& source, const std::string& path) {
    OutputFile output(path);
    const StreamShape& shape = source.shape();
    SndfileSink sink(output.fd(), output.description(), SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                     shape.sampleRate, shape.channels, nullptr);
    constexpr size_t kBlock = 4096;
    std::vector<int16_t> block(kBlock * static_cast<size_t>(shape.channels));
    while (size_t frames = source.read(block.data(), kBlock)) sink.write(block.data(), frames);
    sink.finish();
    output.commit();
}

void process(ProcessCommand command, const std::string& input, const std::string& output,
             const DemoRequest& request) {
    ProcessRequest job;
    job.command = command;
    job.input = input;
    job.output = output;
    job.backend = request.backend;
    job.quiet = true;
    runProcess(job);
}

std::string decibels(double value) {
    if (std::isinf(value)) return value < 0 ? "-inf" : "+inf";
    return fmt::format("{:.1f}", value);
}

void printRow(const std::string& name, const StereoMeasurement& m) {
    fmt::print("  {:<22}{:>3}{:>12}{:>11}{:>14}{:>14.2f}\n", name, m.channels, decibels(m.peakDbfs),
               decibels(m.rmsDbfs), decibels(m.sideToMidDb), m.correlation);
}

const char* backendText(BackendChoice backend) {
    switch (backend) {
        case BackendChoice::Fpu:
            return "fpu";
        case BackendChoice::Mmx:
            return "mmx";
        case BackendChoice::Auto:
            break;
    }
    return automaticBackendName(readCpuFeatures());
}

}  // namespace

void runDemo(const DemoRequest& request) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(request.folder, error);
    if (error || !fs::is_directory(request.folder))
        throw ToolError(
            fmt::format("cannot create the demo folder '{}': {} (expected a folder "
                        "path ve may create or write to)",
                        request.folder, error ? error.message() : "a file of that name exists"));

    auto path = [&](const char* name) { return (fs::path(request.folder) / name).string(); };
    const std::string stereoIn = path("stereo-input.wav");
    const std::string stereoOut = path("stereo-expanded.wav");
    const std::string monoIn = path("mono-input.wav");
    const std::string monoOut = path("mono-to-stereo.wav");

    StereoMix stereo(request.sampleRate, request.seconds);
    writeMaterial(stereo, stereoIn);
    MonoMelody mono(request.sampleRate, request.seconds);
    writeMaterial(mono, monoIn);

    process(ProcessCommand::Expand, stereoIn, stereoOut, request);
    process(ProcessCommand::MonoToStereo, monoIn, monoOut, request);
    if (request.quiet) return;

    StereoMeasurement before = measureFile(stereoIn);
    StereoMeasurement after = measureFile(stereoOut);
    StereoMeasurement monoBefore = measureFile(monoIn);
    StereoMeasurement monoAfter = measureFile(monoOut);

    fmt::print("ve demo: {:.1f} s of synthesised audio at {} Hz, {} back-end, written to {}\n\n",
               request.seconds, request.sampleRate, backendText(request.backend), request.folder);
    fmt::print("  {:<22}{:>3}{:>12}{:>11}{:>14}{:>14}\n", "file", "ch", "peak dBFS", "RMS dBFS",
               "side/mid dB", "correlation");
    printRow("stereo-input.wav", before);
    printRow("stereo-expanded.wav", after);
    printRow("mono-input.wav", monoBefore);
    printRow("mono-to-stereo.wav", monoAfter);
    fmt::print("\nStereo expander: side/mid {} dB -> {} dB, correlation {:.2f} -> {:.2f}\n",
               decibels(before.sideToMidDb), decibels(after.sideToMidDb), before.correlation,
               after.correlation);
    fmt::print("Mono to stereo:  side/mid {} dB -> {} dB, correlation {:.2f} -> {:.2f}\n",
               decibels(monoBefore.sideToMidDb), decibels(monoAfter.sideToMidDb),
               monoBefore.correlation, monoAfter.correlation);
    fmt::print(
        "(side/mid: energy of (L-R)/2 over (L+R)/2, higher is wider; correlation: 1 for "
        "mono, lower is wider)\n");
}

}  // namespace ve_cli
