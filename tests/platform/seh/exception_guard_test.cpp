#include <gtest/gtest.h>
#include <setjmp.h>

#include <atomic>
#include <cfenv>
#include <csignal>
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

// A handler of the program's own, installed before any guard, that recovers its thread.
thread_local sigjmp_buf ownRecovery;
std::atomic<int> ownHandlerCalls{0};

void ownHandler(int, siginfo_t*, void*) {
    ++ownHandlerCalls;
    siglongjmp(ownRecovery, 1);
}

class PreviousHandler : public testing::Test {
  protected:
    void SetUp() override {
        struct sigaction own {};
        own.sa_sigaction = ownHandler;
        own.sa_flags = SA_SIGINFO;
        sigemptyset(&own.sa_mask);
        ASSERT_EQ(sigaction(SIGSEGV, &own, &saved_), 0);
        ownHandlerCalls = 0;
    }
    void TearDown() override { sigaction(SIGSEGV, &saved_, nullptr); }

    struct sigaction saved_ {};
};

TEST_F(PreviousHandler, IsInPlaceAgainAfterTheGuards) {
    DWORD code = 0;
    EXPECT_FALSE(SehTryExcept([](void*) { faults::writeToProtectedPage(); }, nullptr, &code));
    struct sigaction current {};
    sigaction(SIGSEGV, nullptr, &current);
    EXPECT_TRUE(current.sa_flags & SA_SIGINFO);
    EXPECT_EQ(current.sa_sigaction, ownHandler);
    EXPECT_EQ(ownHandlerCalls.load(), 0);
}

TEST_F(PreviousHandler, ReceivesFaultsOfThreadsWithoutAGuardWhileAGuardIsActive) {
    DWORD code = 0;
    bool otherThreadRecovered = false;
    const BOOL completed = sehTryExcept(
        [&] {
            std::thread unguarded([&] {
                if (sigsetjmp(ownRecovery, 1) == 0)
                    faults::writeToProtectedPage();
                else
                    otherThreadRecovered = true;
            });
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
    const BOOL completed = sehTryExcept(
        [&] {
            if (sigsetjmp(ownRecovery, 1) == 0)
                raise(SIGSEGV);
            else
                recovered = true;
        },
        &code);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(recovered);
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
