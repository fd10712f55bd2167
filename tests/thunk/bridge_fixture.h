#pragma once
// A loaded bridge over one stand-in ve32, with the bridge's exports at hand.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "bridge_paths.h"
#include "side16.h"
#include "standin_access.h"

namespace bridge {

using Open = int (*)(void**, int, unsigned int);
using Process16 = int (*)(void*, const int16_t*, int16_t*, unsigned int);
using Process8 = int (*)(void*, const uint8_t*, uint8_t*, unsigned int);
using Gain = void (*)(void*, float);
using Enable = void (*)(void*, int);
using HandleOnly = void (*)(void*);

class OverStandin : public testing::Test {
  protected:
    explicit OverStandin(const std::string& standinDirectory)
        : search_({paths::bridgeDirectory, standinDirectory}) {}

    void SetUp() override {
        ASSERT_NE(side_.load(), nullptr);
        standin_.emplace();
        ASSERT_TRUE(standin_->ready());
    }
    void TearDown() override { standin_.reset(); }

    template <typename Function>
    Function exported(const char* name) {
        auto function = reinterpret_cast<Function>(GetProcAddress(side_.bridge(), name));
        EXPECT_NE(function, nullptr) << name;
        return function;
    }

    StandinAccess& standin() { return *standin_; }

    side16::SearchPathOverride search_;
    side16::Side16 side_;
    std::optional<StandinAccess> standin_;
};

class OverFullStandin : public OverStandin {
  protected:
    OverFullStandin() : OverStandin(paths::fullStandinDirectory) {}
};

class OverPartialStandin : public OverStandin {
  protected:
    OverPartialStandin() : OverStandin(paths::partialStandinDirectory) {}
};

}  // namespace bridge
