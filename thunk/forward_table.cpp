#include "thunk/forward_table.h"

#include <type_traits>

#include "ve32.h"

namespace ve32thk {

const char* const forwardNames[forwardCount] = {
    "veOpen",  "veProcess16", "veProcess8",   "veSetSpread", "veSetCenter", "veEnable", "veReset",
    "veClose", "m2sOpen",     "m2sProcess16", "m2sProcess8", "m2sEnable",   "m2sReset", "m2sClose"};

ModuleState moduleState{};

// The bridge calls ve32 through these shapes, so they must stay those of the public header.
static_assert(std::is_same_v<decltype(&::veOpen), OpenFn>);
static_assert(std::is_same_v<decltype(&::m2sOpen), OpenFn>);
static_assert(std::is_same_v<decltype(&::veProcess16), Process16Fn>);
static_assert(std::is_same_v<decltype(&::m2sProcess16), Process16Fn>);
static_assert(std::is_same_v<decltype(&::veProcess8), Process8Fn>);
static_assert(std::is_same_v<decltype(&::m2sProcess8), Process8Fn>);
static_assert(std::is_same_v<decltype(&::veSetSpread), SetGainFn>);
static_assert(std::is_same_v<decltype(&::veSetCenter), SetGainFn>);
static_assert(std::is_same_v<decltype(&::veEnable), EnableFn>);
static_assert(std::is_same_v<decltype(&::m2sEnable), EnableFn>);
static_assert(std::is_same_v<decltype(&::veReset), HandleFn>);
static_assert(std::is_same_v<decltype(&::veClose), HandleFn>);
static_assert(std::is_same_v<decltype(&::m2sReset), HandleFn>);
static_assert(std::is_same_v<decltype(&::m2sClose), HandleFn>);

}  // namespace ve32thk
