// ve expand / mono2stereo / enhance: one input through one engine into one output.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine.h"
#include "sample_formats.h"

namespace ve_cli {

enum class ProcessCommand { Expand, MonoToStereo, Enhance };

struct ProcessRequest {
    ProcessCommand command = ProcessCommand::Enhance;
    std::string input;   // path, or "-" for standard input
    std::string output;  // path, or "-" for standard output (raw PCM)
    BackendChoice backend = BackendChoice::Auto;
    ExpanderSettings expander;
    std::vector<std::string> expanderOptionsGiven;  // for a note when enhance meets mono input
    bool resample = false;
    std::optional<RawSampleType> raw;  // the input is headerless PCM of this type
    int rawRate = 0;
    int rawChannels = 0;
    std::optional<int> outputSubtype;  // from --output-format
    bool quiet = false;
    size_t blockFrames = 1024;
};

// Runs the whole job. Throws ToolError or UsageError; on any failure the output file does not
// exist afterwards (a previous file of that name is left untouched).
void runProcess(const ProcessRequest& request);

}  // namespace ve_cli
