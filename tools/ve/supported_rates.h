// The sample rates the engines are tuned for, and how other rates map onto them.
#pragma once

#include <array>
#include <string>

namespace ve_cli {

inline constexpr std::array<int, 9> kSupportedRates = {8000,  11025, 12000, 16000, 22050,
                                                       24000, 32000, 44100, 48000};

bool isSupportedRate(int sampleRate);
// The supported rate closest to sampleRate (the higher one on a tie, so less is lost).
int nearestSupportedRate(int sampleRate);
// "8000, 11025, ... and 48000 Hz", for messages.
std::string supportedRatesText();

}  // namespace ve_cli
