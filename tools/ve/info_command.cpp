#include "info_command.h"

#include <fmt/format.h>
#include <samplerate.h>
#include <sndfile.h>

#include <string>

#include "cpu_features.h"
#include "supported_rates.h"

namespace ve_cli {
namespace {

std::string readableContainers() {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    std::string names;
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        // "WAV (Microsoft)" -> "WAV"; wrap the list to the width of the rest of the output.
        std::string name = info.name;
        name = name.substr(0, name.find(" ("));
        std::string entry = fmt::format("{} (.{})", name, info.extension);
        size_t lineStart = names.rfind('\n');
        // The first line follows the 15-column label.
        size_t lineLength =
            lineStart == std::string::npos ? names.size() + 15 : names.size() - lineStart;
        if (!names.empty()) names += lineLength + entry.size() > 76 ? ",\n               " : ", ";
        names += entry;
    }
    return names;
}

}  // namespace

void runInfo() {
    CpuFeatures cpu = readCpuFeatures();
    // libsamplerate's version text carries a copyright line; keep only the name and number.
    std::string samplerate = src_get_version();
    samplerate = samplerate.substr(0, samplerate.find(' '));
    fmt::print("ve {} ({}, {})\n\n", VE_TOOL_VERSION, sf_version_string(), samplerate);

    fmt::print("Sample rates:  {} (other rates with --resample)\n", supportedRatesText());
    fmt::print(
        "Engines:       expand (stereo in, stereo out), mono2stereo (mono in, stereo "
        "out);\n               enhance picks by the input's channel count\n");
    fmt::print(
        "Sample paths:  8-bit unsigned and 16-bit PCM as they are; other encodings at "
        "16 bits\n\n");

    fmt::print("Back-ends:\n");
    fmt::print("  fpu   32-bit floating point        available\n");
    fmt::print("  mmx   packed 16-bit fixed point    {}\n",
               cpu.mmx ? "available" : "not available (the processor does not report MMX)");
    fmt::print(
        "  auto  picks {} here: the packed back-end when CPUID reports MMX, else "
        "floating point\n\n",
        automaticBackendName(cpu));

    fmt::print("Processor:     {}\n",
               cpu.brand.empty() ? (cpu.vendor.empty() ? "unknown" : cpu.vendor) : cpu.brand);
    if (cpu.hasCpuid)
        fmt::print("               vendor {}; MMX {}, SSE2 {}, AVX2 {}\n", cpu.vendor,
                   cpu.mmx ? "yes" : "no", cpu.sse2 ? "yes" : "no", cpu.avx2 ? "yes" : "no");
    else
        fmt::print("               no CPUID instruction\n");

    fmt::print("\nFiles:         {}\n", readableContainers());
    fmt::print(
        "Streams:       - for standard input/output; raw u8 or s16 (little-endian) with "
        "--raw --rate --channels,\n               or a WAV/AIFF/AU/Ogg stream on standard "
        "input\n");
}

}  // namespace ve_cli
