// ve demo: the built-in default run of both engines on synthesised material.
#pragma once

#include <string>

#include "engine.h"

namespace ve_cli {

struct DemoRequest {
    std::string folder = "out/demo";
    int sampleRate = 44100;
    float seconds = 4.0f;
    BackendChoice backend = BackendChoice::Auto;
    bool quiet = false;
};

// Writes stereo-input.wav and mono-input.wav, runs them through the expander and mono-to-stereo
// exactly as 've expand' and 've mono2stereo' would, writes stereo-expanded.wav and
// mono-to-stereo.wav, and prints levels and stereo width before and after.
void runDemo(const DemoRequest& request);

}  // namespace ve_cli
