#include <dlfcn.h>
#include <gtest/gtest.h>
#include <setjmp.h>
#include <unistd.h>

#include <atomic>
#include <cfenv>
#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

#include "faults.h"
#include "platform/seh/structured_exceptions.h"

namespace {

struct FaultCase {
    const char* name;
    void (*raise)();
    DWORD expectedCode;
};

const FaultCase faultCases[] = {
    {"CppException", faults::throwCppException, EXCEPTION_CPLUSPLUS},
    {"AccessFault", faults::writeToProtectedPage, EXCEPTION_ACCESS_VIOLATION},
    {"BusError", faults::readPastEndOfMappedFile, EXCEPTION_IN_PAGE_ERROR},
    {"FloatingPointTrap", faults::divideByZeroWithTrapUnmasked, EXCEPTION_FLT_DIVIDE_BY_ZERO},
    {"IntegerDivide", faults::integerDivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO},
    {"IllegalInstruction", faults::illegalInstruction, EXCEPTION_ILLEGAL_INSTRUCTION},
    {"StackOverflow", faults::overflowStack, EXCEPTION_ACCESS_VIOLATION},
};

class GuardedFault : public testing::TestWithParam<FaultCase> {
  protected:
    void TearDown() override { fedisableexcept(FE_ALL_EXCEPT); }
};

TEST_P(GuardedFault, EndsTheCallWithItsCodeAndLaterCallsWork) {
    for (int round = 0; round < 3; ++round) {
        DWORD code = 0;
        EXPECT_FALSE(SehTryExcept([](void*) { GetParam().raise(); }, nullptr, &code));
        EXPECT_EQ(code, GetParam().expectedCode) << std::hex << code;
        fedisableexcept(FE_ALL_EXCEPT);

        int calls = 0;
        EXPECT_TRUE(sehTryExcept([&] { ++calls; }, &code));
        EXPECT_EQ(calls, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, GuardedFault, testing::ValuesIn(faultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExceptionGuard, ReturnsTrueAndLeavesTheCodeAloneWhenTheCallCompletes) {
    DWORD code = 0x1234;
    int value = 0;
    EXPECT_TRUE(sehTryExcept([&] { value = 42; }, &code));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(code, 0x1234u);
}

TEST(ExceptionGuard, TheInnermostGuardTakesTheFault) {
    DWORD outerCode = 0;
    DWORD innerCode = 0;
    BOOL innerResult = TRUE;
    bool outerWentOn = false;
    const BOOL outerResult = sehTryExcept(
        [&] {
            innerResult = sehTryExcept([] { faults::writeToProtectedPage(); }, &innerCode);
            outerWentOn = true;
            faults::illegalInstruction();
        },
        &outerCode);
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(innerCode, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_TRUE(outerWentOn);
    EXPECT_FALSE(outerResult);
    EXPECT_EQ(outerCode, EXCEPTION_ILLEGAL_INSTRUCTION);
}

TEST(ExceptionGuard, ThreadsFaultingAtOnceEachGetTheirOwnFault) {
    constexpr int threadCount = 4;
    constexpr int rounds = 200;
    std::atomic<int> wrongResults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
            const FaultCase& fault = faultCases[1 + t % 2];  // access faults and bus errors
            for (int i = 0; i < rounds; ++i) {
                DWORD code = 0;
                if (SehTryExcept([](void* f) { static_cast<const FaultCase*>(f)->raise(); },
                                 const_cast<FaultCase*>(&fault), &code) ||
                    code != fault.expectedCode)
                    ++wrongResults;
                int done = 0;
                if (!sehTryExcept([&] { done = 1; }, &code) || done != 1) ++wrongResults;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongResults.load(), 0);
}

// A handler of the program's own, installed in front of the layer's: it recovers the faults its
// thread expects and passes the others on to the handler it replaced, as chained handlers do.
thread_local sigjmp_buf ownRecovery;
thread_local bool expectingOwnFault = false;
std::atomic<int> ownHandlerCalls{0};
struct sigaction replacedByOwn {};

void ownHandler(int signal, siginfo_t* info, void* context) {
    if (expectingOwnFault) {
        expectingOwnFault = false;
        ++ownHandlerCalls;
        siglongjmp(ownRecovery, 1);
    }
    if ((replacedByOwn.sa_flags & SA_SIGINFO) && replacedByOwn.sa_sigaction != nullptr) {
        replacedByOwn.sa_sigaction(signal, info, context);
        return;
    }
    std::signal(signal, SIG_DFL);
}

bool ownHandlerIsCurrent() {
    struct sigaction current {};
    sigaction(SIGSEGV, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) && current.sa_sigaction == ownHandler;
}

// Faults the current thread with a fault its own handler expects; true when that handler got it.
bool ownHandlerRecovers(void (*fault)()) {
    expectingOwnFault = true;
    if (sigsetjmp(ownRecovery, 1) == 0) fault();
    const bool recovered = !expectingOwnFault;
    expectingOwnFault = false;
    return recovered;
}

class PreviousHandler : public testing::Test {
  protected:
    void SetUp() override {
        DWORD code = 0;
        SehTryExcept([](void*) {}, nullptr, &code);  // the layer's handlers are in place
        struct sigaction own {};
        own.sa_sigaction = ownHandler;
        own.sa_flags = SA_SIGINFO;
        sigemptyset(&own.sa_mask);
        ASSERT_EQ(sigaction(SIGSEGV, &own, &replacedByOwn), 0);
        ownHandlerCalls = 0;
    }
    void TearDown() override { sigaction(SIGSEGV, &replacedByOwn, nullptr); }
};

TEST_F(PreviousHandler, InFrontOfTheLayerStillLetsGuardsCatchTheirFaults) {
    DWORD code = 0;
    EXPECT_FALSE(SehTryExcept([](void*) { faults::writeToProtectedPage(); }, nullptr, &code));
    EXPECT_EQ(code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(ownHandlerCalls.load(), 0);
}

TEST_F(PreviousHandler, ReceivesFaultsOfThreadsWithoutAGuardWhileAGuardIsActive) {
    DWORD code = 0;
    bool otherThreadRecovered = false;
    const BOOL completed = sehTryExcept(
        [&] {
            std::thread unguarded(
                [&] { otherThreadRecovered = ownHandlerRecovers(faults::writeToProtectedPage); });
            unguarded.join();
        },
        &code);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(otherThreadRecovered);
    EXPECT_EQ(ownHandlerCalls.load(), 1);
}

TEST_F(PreviousHandler, ReceivesASignalSentInsideAGuardRatherThanRaisedByAFault) {
    DWORD code = 0;
    bool recovered = false;
    const BOOL completed =
        sehTryExcept([&] { recovered = ownHandlerRecovers([] { std::raise(SIGSEGV); }); }, &code);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(recovered);
    EXPECT_EQ(ownHandlerCalls.load(), 1);
}

// A second instance of the layer, loaded from a copy of its file, installs its handlers in front
// of the program's own one: the program's handler must still get the faults no guard claims, and
// must be current again once that instance is unloaded.
TEST_F(PreviousHandler, GetsUnclaimedFaultsFromALayerInFrontAndIsPutBackAtItsUnload) {
    const std::filesystem::path copy = std::filesystem::temp_directory_path() /
                                       ("ve-seh-copy-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(SEH_LIBRARY_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);
    void* layer = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::filesystem::remove(copy);
    ASSERT_NE(layer, nullptr) << dlerror();
    const auto tryExcept = reinterpret_cast<decltype(&SehTryExcept)>(dlsym(layer, "SehTryExcept"));
    ASSERT_NE(tryExcept, nullptr);

    DWORD code = 0;
    EXPECT_FALSE(tryExcept([](void*) { faults::writeToProtectedPage(); }, nullptr, &code));
    EXPECT_EQ(code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_FALSE(ownHandlerIsCurrent());
    EXPECT_TRUE(ownHandlerRecovers(faults::writeToProtectedPage));

    dlclose(layer);
    EXPECT_TRUE(ownHandlerIsCurrent());
    EXPECT_EQ(ownHandlerCalls.load(), 1);
}

TEST(ExceptionGuardDeathTest, AFaultOutsideEveryGuardStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            DWORD code = 0;
            SehTryExcept([](void*) {}, nullptr, &code);
            faults::writeToProtectedPage();
        },
        "");
}

}  // namespace
