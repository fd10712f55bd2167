// Which sample rates the plugins accept, and what a host hears about the others.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugins/lv2/plugin_ports.h"
#include "tests/plugins/lv2/test_host.h"

namespace ve::lv2::testing {
namespace {

const char* const kPlugins[] = {kStereoExpanderUri, kMonoToStereoUri};
const WorkerMode kModes[] = {WorkerMode::kNone, WorkerMode::kDeferred};

TEST(PluginInstantiation, EverySupportedRateInstantiates) {
    for (const char* uri : kPlugins) {
        for (double rate :
             {8000.0, 11025.0, 12000.0, 16000.0, 22050.0, 24000.0, 32000.0, 44100.0, 48000.0}) {
            for (WorkerMode mode : kModes) {
                TestHost host(uri, rate, {mode});
                EXPECT_TRUE(host.instantiated()) << uri << " at " << rate;
                EXPECT_TRUE(host.logMessages().empty());
            }
        }
    }
}

TEST(PluginInstantiation, OtherRatesAreRefusedWithAMessageInTheHostLog) {
    const double rates[] = {0.0,
                            -44100.0,
                            7999.0,
                            44000.0,
                            44100.5,
                            88200.0,
                            96000.0,
                            1e12,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
    for (const char* uri : kPlugins) {
        for (double rate : rates) {
            for (WorkerMode mode : kModes) {
                SCOPED_TRACE(::testing::Message() << uri << " at " << rate);
                TestHost host(uri, rate, {mode});
                EXPECT_FALSE(host.instantiated());
                ASSERT_EQ(host.logMessages().size(), 1u);
                const std::string& message = host.logMessages()[0];
                EXPECT_NE(message.find("cannot run at"), std::string::npos) << message;
                EXPECT_NE(message.find("8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and "
                                       "48000 Hz"),
                          std::string::npos)
                    << message;
            }
        }
    }
}

TEST(PluginInstantiation, RefusalWithoutAHostLogStillFailsCleanly) {
    for (const char* uri : kPlugins) {
        ::testing::internal::CaptureStderr();
        TestHost host(uri, 96000.0, {WorkerMode::kNone, false});
        const std::string printed = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(host.instantiated());
        EXPECT_NE(printed.find("cannot run at 96000 Hz"), std::string::npos) << printed;
    }
}

}  // namespace
}  // namespace ve::lv2::testing
