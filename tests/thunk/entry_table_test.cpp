// The bridge's entry table, driven by index from the 16-bit side over the stand-in ve32: which
// function each index reaches, how its 16-bit arguments arrive, and what it hands back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "bridge_fixture.h"
#include "fpu_state.h"

namespace {

using namespace side16;
using bridge::OverFullStandin;
using bridge::OverPartialStandin;

class EntryTable : public OverFullStandin {
  protected:
    // Opens through the entry table and returns the 32-bit handle the 16-bit side receives.
    DWORD open16(Entry entry) {
        Memory16<DWORD> handleVariable(1);
        EXPECT_EQ(side_.open(entry, handleVariable.far(), 44100, 0), 0u);
        return handleVariable[0];
    }
};

TEST_F(EntryTable, OpenHandsTheCallerA32BitHandleForTheEngine) {
    for (Entry entry : {veOpen, m2sOpen}) {
        Memory16<DWORD> handleVariable(3, 0xDEADBEEF);
        standin().control().watchedSelectors[0] = handleVariable.selector();
        EXPECT_EQ(side_.open(entry, handleVariable.far() + 4, 48000, 0x80000002u), 0u);
        const StandinCall& call = standin().lastCall();
        EXPECT_STREQ(call.function, entry == veOpen ? "veOpen" : "m2sOpen");
        EXPECT_EQ(call.sampleRate, 48000);
        EXPECT_EQ(call.flags, 0x80000002u);
        EXPECT_EQ(call.watchedFixes[0], 1u) << "the handle variable is fixed during the call";
        EXPECT_EQ(call.win16Locks, 0u) << "ve32 runs without the Win16 lock";
        EXPECT_EQ(SelectorFixCount(handleVariable.selector()), 0u);

        const DWORD handle = handleVariable[1];
        EXPECT_NE(handle, 0u);
        EXPECT_NE(handle, 0xDEADBEEFu);
        EXPECT_EQ(handleVariable[0], 0xDEADBEEFu) << "only the 32 bits of the variable are written";
        EXPECT_EQ(handleVariable[2], 0xDEADBEEFu) << "only the 32 bits of the variable are written";

        side_.handleOnly(entry == veOpen ? veReset : m2sReset, handle);
        EXPECT_EQ(standin().lastCall().handle,
                  entry == veOpen ? standin().veEngine() : standin().m2sEngine());
    }
}

TEST_F(EntryTable, EachIndexReachesItsFunctionWithItsArgumentsWidened) {
    const DWORD ve = open16(veOpen);
    const DWORD m2s = open16(m2sOpen);
    struct Case {
        const char* name;
        std::function<void()> call;
        const char* function;
        std::function<void(const StandinCall&)> check;
    };
    const Case cases[] = {
        {"veSetSpread", [&] { side_.gain(veSetSpread, ve, 3.25f); }, "veSetSpread",
         [](const StandinCall& c) { EXPECT_EQ(c.decibels, 3.25f); }},
        {"veSetCenter", [&] { side_.gain(veSetCenter, ve, -96.5f); }, "veSetCenter",
         [](const StandinCall& c) { EXPECT_EQ(c.decibels, -96.5f); }},
        {"veEnable -1", [&] { side_.enable(veEnable, ve, -1); }, "veEnable",
         [](const StandinCall& c) { EXPECT_EQ(c.enable, -1); }},
        {"veEnable 0x8000", [&] { side_.enable(veEnable, ve, SHORT(-32768)); }, "veEnable",
         [](const StandinCall& c) { EXPECT_EQ(c.enable, -32768); }},
        {"m2sEnable 1", [&] { side_.enable(m2sEnable, m2s, 1); }, "m2sEnable",
         [](const StandinCall& c) { EXPECT_EQ(c.enable, 1); }},
        {"m2sEnable 0", [&] { side_.enable(m2sEnable, m2s, 0); }, "m2sEnable",
         [](const StandinCall& c) { EXPECT_EQ(c.enable, 0); }},
        {"veReset", [&] { side_.handleOnly(veReset, ve); }, "veReset", nullptr},
        {"m2sReset", [&] { side_.handleOnly(m2sReset, m2s); }, "m2sReset", nullptr},
        {"veClose", [&] { side_.handleOnly(veClose, ve); }, "veClose", nullptr},
        {"m2sClose", [&] { side_.handleOnly(m2sClose, m2s); }, "m2sClose", nullptr},
    };
    for (const Case& c : cases) {
        c.call();
        ASSERT_TRUE(standin().lastCallWas(c.function)) << c.name;
        const StandinCall& call = standin().lastCall();
        EXPECT_EQ(call.handle, c.function[0] == 'v' ? standin().veEngine() : standin().m2sEngine())
            << c.name;
        EXPECT_EQ(call.win16Locks, 0u) << c.name;
        if (c.check) c.check(call);
    }
}

struct ProcessEntry {
    Entry entry;
    const char* function;
    bool ve;
    bool sixteenBit;
};
const ProcessEntry processEntries[] = {
    {veProcess16, "veProcess16", true, true},
    {veProcess8, "veProcess8", true, false},
    {m2sProcess16, "m2sProcess16", false, true},
    {m2sProcess8, "m2sProcess8", false, false},
};

TEST_F(EntryTable, ProcessCallsTranslateTheBuffersAndReleaseThemAfterwards) {
    const DWORD ve = open16(veOpen);
    const DWORD m2s = open16(m2sOpen);
    for (const ProcessEntry& p : processEntries)
        for (WORD frames : {WORD(0), WORD(1), WORD(1000), WORD(65535)}) {
            const size_t inSamples = (p.ve ? 2u : 1u) * frames;
            const size_t sampleBytes = p.sixteenBit ? 2 : 1;
            Memory16<BYTE> in(inSamples * sampleBytes + 8), out(2 * frames * sampleBytes + 8, 0x77);
            for (size_t i = 0; i < in.values().size(); ++i)
                in[i] = static_cast<BYTE>(i * 7 + i / 251);
            standin().control().watchedSelectors[0] = in.selector();
            standin().control().watchedSelectors[1] = out.selector();
            const int before = standin().callCount();

            // The buffers start 4 bytes into their segments, to show the offsets are honoured.
            EXPECT_EQ(side_.process(p.entry, p.ve ? ve : m2s, in.far() + 4, out.far() + 4, frames),
                      0u)
                << p.function << " " << frames;
            ASSERT_EQ(standin().callCount(), before + 1);
            const StandinCall& call = standin().lastCall();
            EXPECT_STREQ(call.function, p.function);
            EXPECT_EQ(call.frames, frames) << "a WORD is zero-extended";
            EXPECT_EQ(call.in, in.values().data() + 4);
            EXPECT_EQ(call.out, out.values().data() + 4);
            EXPECT_EQ(call.watchedFixes[0], 1u);
            EXPECT_EQ(call.watchedFixes[1], 1u);
            EXPECT_EQ(call.win16Locks, 0u);
            EXPECT_EQ(SelectorFixCount(in.selector()), 0u);
            EXPECT_EQ(SelectorFixCount(out.selector()), 0u);
            // The stand-in's output proves the data crossed both ways; the bytes around stay as
            // set.
            const size_t outBytes = 2 * frames * sampleBytes;
            EXPECT_EQ(out[3], 0x77);
            EXPECT_EQ(out[4 + outBytes], 0x77);
            if (frames == 0) {
                EXPECT_EQ(out[4], 0x77);
            } else if (p.ve) {
                EXPECT_EQ(out[4], in[4] ^ (p.sixteenBit ? 0x5A : 0xA5));
            } else if (!p.sixteenBit) {
                EXPECT_EQ(out[5], BYTE(~in[4]));
            }
        }
}

TEST_F(EntryTable, NullOrClosedHandlesReachNothing) {
    Memory16<BYTE> buffer(64);
    for (const ProcessEntry& p : processEntries)
        EXPECT_EQ(side_.process(p.entry, 0, buffer.far(), buffer.far(), 4), 1u) << p.function;
    side_.gain(veSetSpread, 0, 1.0f);
    side_.gain(veSetCenter, 0, 1.0f);
    side_.enable(veEnable, 0, 1);
    side_.enable(m2sEnable, 0, 1);
    for (Entry entry : {veReset, veClose, m2sReset, m2sClose}) side_.handleOnly(entry, 0);
    EXPECT_EQ(standin().callCount(), 0);
    EXPECT_EQ(SelectorFixCount(buffer.selector()), 0u);

    const DWORD ve = open16(veOpen);
    side_.handleOnly(veClose, ve);
    const int afterClose = standin().callCount();
    EXPECT_EQ(side_.process(veProcess16, ve, buffer.far(), buffer.far(), 4), 1u)
        << "a closed handle no longer stands for the engine";
    EXPECT_EQ(standin().callCount(), afterClose);
}

TEST_F(EntryTable, EndsAtIndexThirteen) {
    // veSetInputScale, veSetInputDelay, m2sSetSpread and m2sSetCenter have no index.
    Stack16 stack;
    stack.pushDword(open16(veOpen));
    stack.pushDword(8);
    stack.pushDword(8);
    const int before = standin().callCount();
    EXPECT_FALSE(side_.dispatches(entryCount, stack));
    EXPECT_EQ(stack.depth(), 12u);
    EXPECT_EQ(standin().callCount(), before);
}

TEST_F(EntryTable, AFailedOpenGivesTheCallerANullHandle) {
    standin().control().openResult = 1;
    for (Entry entry : {veOpen, m2sOpen}) {
        Memory16<DWORD> handleVariable(1, 0x12345678);
        EXPECT_EQ(side_.open(entry, handleVariable.far(), 44000, 0), 1u);
        EXPECT_EQ(handleVariable[0], 0u);
    }
}

TEST_F(EntryTable, AnOpenWithoutAHandleVariableCallsNothing) {
    for (Entry entry : {veOpen, m2sOpen}) EXPECT_EQ(side_.open(entry, 0, 44100, 0), 1u);
    EXPECT_EQ(standin().callCount(), 0);
}

TEST_F(EntryTable, AFaultInsideProcessingAnswersFourAndReleasesTheBuffers) {
    const DWORD ve = open16(veOpen);
    const DWORD m2s = open16(m2sOpen);
    Memory16<BYTE> in(256), out(256);
    for (const ProcessEntry& p : processEntries)
        for (StandinFault fault : {standinThrows, standinAccessFault, standinFloatingPointTrap}) {
            standin().control().fault = fault;
            const DWORD result = side_.process(p.entry, p.ve ? ve : m2s, in.far(), out.far(), 16);
            restoreFpuState();
            EXPECT_EQ(result, 4u) << p.function << " fault " << fault;
            EXPECT_EQ(SelectorFixCount(in.selector()), 0u);
            EXPECT_EQ(SelectorFixCount(out.selector()), 0u);
            EXPECT_EQ(Win16LockCount(), 0u);
            standin().control().fault = standinNoFault;
            EXPECT_EQ(side_.process(p.entry, p.ve ? ve : m2s, in.far(), out.far(), 16), 0u);
        }
}

// ve32 without veOpen, veProcess8, veSetCenter, veReset, m2sOpen, m2sProcess16, m2sEnable.
using EntryTableMissingEntries = OverPartialStandin;

TEST_F(EntryTableMissingEntries, OpenAnswersOneAndLeavesTheHandleVariableAsTheCallerSetIt) {
    for (Entry entry : {veOpen, m2sOpen}) {
        Memory16<DWORD> handleVariable(1, 0xCAFEF00D);
        EXPECT_EQ(side_.open(entry, handleVariable.far(), 44100, 0), 1u);
        EXPECT_EQ(handleVariable[0], 0xCAFEF00Du);
        EXPECT_EQ(SelectorFixCount(handleVariable.selector()), 0u);
    }
    EXPECT_EQ(standin().callCount(), 0);
}

}  // namespace
