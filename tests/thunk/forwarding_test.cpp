// The bridge's exported forwarding functions, called directly, over the stand-in ve32.
#include <gtest/gtest.h>

#include <cfenv>

#include "bridge_fixture.h"
#include "fpu_state.h"

namespace {

using bridge::OverFullStandin;
using bridge::OverPartialStandin;

enum Process { veProcess16, veProcess8, m2sProcess16, m2sProcess8, processCount };
constexpr const char* processNames[processCount] = {"veProcess16", "veProcess8", "m2sProcess16",
                                                    "m2sProcess8"};
constexpr unsigned int frames = 8;

// Buffers for 8 frames of every process function, the input filled with a known pattern.
struct Buffers {
    Buffers() {
        for (int i = 0; i < 2 * static_cast<int>(frames); ++i) {
            in16[i] = static_cast<int16_t>(i * 1237 - 9000);
            in8[i] = static_cast<uint8_t>(i * 29 + 3);
        }
    }
    int16_t in16[2 * frames], out16[2 * frames] = {};
    uint8_t in8[2 * frames], out8[2 * frames] = {};
};

class Forwarding : public OverFullStandin {
  protected:
    int callProcess(Process process, void* handle) {
        const char* name = processNames[process];
        if (process == veProcess16 || process == m2sProcess16)
            return exported<bridge::Process16>(name)(handle, buffers_.in16, buffers_.out16, frames);
        return exported<bridge::Process8>(name)(handle, buffers_.in8, buffers_.out8, frames);
    }
    void* engineFor(Process process) {
        return process <= veProcess8 ? standin().veEngine() : standin().m2sEngine();
    }

    Buffers buffers_;
};

TEST_F(Forwarding, ProcessCallsReachVe32AndAnswerZero) {
    for (int p = 0; p < processCount; ++p) {
        const auto process = static_cast<Process>(p);
        const int before = standin().callCount();
        EXPECT_EQ(callProcess(process, engineFor(process)), 0) << processNames[p];
        ASSERT_EQ(standin().callCount(), before + 1) << processNames[p];
        const StandinCall& call = standin().lastCall();
        EXPECT_STREQ(call.function, processNames[p]);
        EXPECT_EQ(call.handle, engineFor(process));
        EXPECT_EQ(call.frames, frames);
    }
    for (unsigned int i = 0; i < 2 * frames; ++i) {
        EXPECT_EQ(buffers_.out16[i],
                  static_cast<int16_t>(i % 2 == 0 ? buffers_.in16[i / 2] : ~buffers_.in16[i / 2]));
        EXPECT_EQ(buffers_.out8[i],
                  static_cast<uint8_t>(i % 2 == 0 ? buffers_.in8[i / 2] : ~buffers_.in8[i / 2]));
    }
}

TEST_F(Forwarding, SettersAndLifeCycleCallsReachVe32) {
    void* ve = standin().veEngine();
    void* m2s = standin().m2sEngine();
    exported<bridge::Gain>("veSetSpread")(ve, 4.5f);
    EXPECT_TRUE(standin().lastCallWas("veSetSpread"));
    EXPECT_EQ(standin().lastCall().decibels, 4.5f);
    exported<bridge::Gain>("veSetCenter")(ve, -3.25f);
    EXPECT_TRUE(standin().lastCallWas("veSetCenter"));
    EXPECT_EQ(standin().lastCall().decibels, -3.25f);
    exported<bridge::Enable>("veEnable")(ve, -7);
    EXPECT_TRUE(standin().lastCallWas("veEnable"));
    EXPECT_EQ(standin().lastCall().enable, -7);
    exported<bridge::Enable>("m2sEnable")(m2s, 0);
    EXPECT_TRUE(standin().lastCallWas("m2sEnable"));
    for (const char* name : {"veReset", "veClose", "m2sReset", "m2sClose"}) {
        exported<bridge::HandleOnly>(name)(name[0] == 'v' ? ve : m2s);
        EXPECT_TRUE(standin().lastCallWas(name)) << name;
        EXPECT_EQ(standin().lastCall().handle, name[0] == 'v' ? ve : m2s) << name;
    }
}

TEST_F(Forwarding, OpenAnswersWhatVe32Answers) {
    for (const char* name : {"veOpen", "m2sOpen"}) {
        void* handle = &buffers_;
        standin().control().openResult = 0;
        EXPECT_EQ(exported<bridge::Open>(name)(&handle, 22050, 0x80000001u), 0) << name;
        EXPECT_EQ(handle, name[0] == 'v' ? standin().veEngine() : standin().m2sEngine());
        EXPECT_EQ(standin().lastCall().sampleRate, 22050);
        EXPECT_EQ(standin().lastCall().flags, 0x80000001u);
        standin().control().openResult = 1;
        EXPECT_EQ(exported<bridge::Open>(name)(&handle, 44000, 0), 1) << name;
        EXPECT_EQ(handle, nullptr);
    }
}

TEST_F(Forwarding, NullHandlesReachNothing) {
    for (int p = 0; p < processCount; ++p)
        EXPECT_EQ(callProcess(static_cast<Process>(p), nullptr), 1) << processNames[p];
    exported<bridge::Gain>("veSetSpread")(nullptr, 1.0f);
    exported<bridge::Gain>("veSetCenter")(nullptr, 1.0f);
    exported<bridge::Enable>("veEnable")(nullptr, 1);
    exported<bridge::Enable>("m2sEnable")(nullptr, 1);
    for (const char* name : {"veReset", "veClose", "m2sReset", "m2sClose"})
        exported<bridge::HandleOnly>(name)(nullptr);
    EXPECT_EQ(standin().callCount(), 0);
}

TEST_F(Forwarding, AFaultInsideProcessingAnswersFourAndLaterCallsWork) {
    const StandinFault faults[] = {standinThrows, standinAccessFault, standinFloatingPointTrap};
    for (StandinFault fault : faults)
        for (int p = 0; p < processCount; ++p) {
            const auto process = static_cast<Process>(p);
            standin().control().fault = fault;
            const int faulted = callProcess(process, engineFor(process));
            restoreFpuState();
            EXPECT_EQ(faulted, 4) << processNames[p] << " fault " << fault;
            standin().control().fault = standinNoFault;
            EXPECT_EQ(callProcess(process, engineFor(process)), 0) << processNames[p];
        }
}

TEST_F(Forwarding, OnlyTheVeFamilyReinitialisesTheFloatingPointUnitAfterAFault) {
    for (int p = 0; p < processCount; ++p) {
        const auto process = static_cast<Process>(p);
        standin().control().fault = standinDirtyFpuThenThrows;
        const int result = callProcess(process, engineFor(process));
        const FpuState after = currentFpuState();
        restoreFpuState();
        EXPECT_EQ(result, 4) << processNames[p];
        if (process == veProcess16 || process == veProcess8) {
            EXPECT_EQ(after.rounding, FE_TONEAREST) << processNames[p];
            EXPECT_EQ(after.enabledTraps, 0) << processNames[p];
            EXPECT_TRUE(after.x87Usable) << processNames[p];
        } else {
            EXPECT_EQ(after.rounding, FE_UPWARD)
                << processNames[p] << ": left as the fault left it";
            EXPECT_FALSE(after.x87Usable) << processNames[p] << ": left as the fault left it";
        }
    }
}

// ve32 without veOpen, veProcess8, veSetCenter, veReset, m2sOpen, m2sProcess16, m2sEnable.
using MissingEntries = OverPartialStandin;

TEST_F(MissingEntries, OpenAnswersOneAndLeavesTheHandleVariableAlone) {
    for (const char* name : {"veOpen", "m2sOpen"}) {
        int marker = 0;
        void* handle = &marker;
        EXPECT_EQ(exported<bridge::Open>(name)(&handle, 44100, 0), 1) << name;
        EXPECT_EQ(handle, &marker) << name;
    }
    EXPECT_EQ(standin().callCount(), 0);
}

TEST_F(MissingEntries, OtherFunctionsAnswerOneOrDoNothingWhilePresentOnesWork) {
    int engine = 0;
    int16_t samples[4] = {};
    uint8_t bytes[4] = {};
    EXPECT_EQ(exported<bridge::Process8>("veProcess8")(&engine, bytes, bytes, 2), 1);
    EXPECT_EQ(exported<bridge::Process16>("m2sProcess16")(&engine, samples, samples, 2), 1);
    exported<bridge::Gain>("veSetCenter")(&engine, 1.0f);
    exported<bridge::HandleOnly>("veReset")(&engine);
    exported<bridge::Enable>("m2sEnable")(&engine, 1);
    EXPECT_EQ(standin().callCount(), 0);

    EXPECT_EQ(exported<bridge::Process16>("veProcess16")(&engine, samples, samples, 2), 0);
    EXPECT_TRUE(standin().lastCallWas("veProcess16"));
    EXPECT_EQ(exported<bridge::Process8>("m2sProcess8")(&engine, bytes, bytes, 2), 0);
    EXPECT_TRUE(standin().lastCallWas("m2sProcess8"));
    exported<bridge::HandleOnly>("m2sReset")(&engine);
    EXPECT_TRUE(standin().lastCallWas("m2sReset"));
}

}  // namespace
