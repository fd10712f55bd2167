#include "value_parsing.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <optional>

#include "errors.h"

namespace ve_cli {
namespace {

// std::from_chars accepts no leading '+', but people write "+3" for a gain.
std::string_view withoutPlus(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    return text;
}

std::optional<float> toFiniteFloat(std::string_view text) {
    text = withoutPlus(text);
    float value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    if (!std::isfinite(value)) return {};
    return value;
}

std::optional<long> toLong(std::string_view text) {
    text = withoutPlus(text);
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    return value;
}

std::optional<std::pair<std::string_view, std::string_view>> splitPair(std::string_view text) {
    size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
        return {};
    return std::pair{text.substr(0, comma), text.substr(comma + 1)};
}

[[noreturn]] void reject(std::string_view option, std::string_view text, std::string_view wanted) {
    throw UsageError(fmt::format("invalid value '{}' for {}: expected {}", text, option, wanted));
}

std::string numberWanted(NumberRange range, std::string_view unit, bool pair) {
    return fmt::format("{} from {} to {} {}{}", pair ? "two numbers" : "a number", range.min,
                       range.max, unit, pair ? ", written LEFT,RIGHT" : "");
}

std::string countWanted(CountRange range, std::string_view unit, bool pair) {
    return fmt::format("{} from {} to {} {}{}", pair ? "two whole numbers" : "a whole number",
                       range.min, range.max, unit, pair ? ", written LEFT,RIGHT" : "");
}

std::optional<float> numberIn(std::string_view text, NumberRange range) {
    auto value = toFiniteFloat(text);
    if (!value || *value < range.min || *value > range.max) return {};
    return value;
}

std::optional<long> countIn(std::string_view text, CountRange range) {
    auto value = toLong(text);
    if (!value || *value < range.min || *value > range.max) return {};
    return value;
}

}  // namespace

float parseNumber(std::string_view option, std::string_view text, NumberRange range,
                  std::string_view unit) {
    auto value = numberIn(text, range);
    if (!value) reject(option, text, numberWanted(range, unit, false));
    return *value;
}

std::pair<float, float> parseNumberPair(std::string_view option, std::string_view text,
                                        NumberRange range, std::string_view unit) {
    auto parts = splitPair(text);
    std::optional<float> left, right;
    if (parts) {
        left = numberIn(parts->first, range);
        right = numberIn(parts->second, range);
    }
    if (!left || !right) reject(option, text, numberWanted(range, unit, true));
    return {*left, *right};
}

long parseCount(std::string_view option, std::string_view text, CountRange range,
                std::string_view unit) {
    auto value = countIn(text, range);
    if (!value) reject(option, text, countWanted(range, unit, false));
    return *value;
}

std::pair<long, long> parseCountPair(std::string_view option, std::string_view text,
                                     CountRange range, std::string_view unit) {
    auto parts = splitPair(text);
    std::optional<long> left, right;
    if (parts) {
        left = countIn(parts->first, range);
        right = countIn(parts->second, range);
    }
    if (!left || !right) reject(option, text, countWanted(range, unit, true));
    return {*left, *right};
}

}  // namespace ve_cli
