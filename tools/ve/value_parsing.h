// Strict parsing of option values. The whole text must be one number (or a LEFT,RIGHT pair) in the
// stated range; anything else, NaN and infinities included, is a UsageError whose message names the
// option, the text given and what is accepted.
#pragma once

#include <string_view>
#include <utility>

namespace ve_cli {

struct NumberRange {
    float min;
    float max;
};

struct CountRange {
    long min;
    long max;
};

// `unit` names what is measured ("dB", "s") in the message.
float parseNumber(std::string_view option, std::string_view text, NumberRange range,
                  std::string_view unit);
std::pair<float, float> parseNumberPair(std::string_view option, std::string_view text,
                                        NumberRange range, std::string_view unit);
// `unit` names what is counted ("samples", "Hz", "frames") in the message.
long parseCount(std::string_view option, std::string_view text, CountRange range,
                std::string_view unit);
std::pair<long, long> parseCountPair(std::string_view option, std::string_view text,
                                     CountRange range, std::string_view unit);

}  // namespace ve_cli
