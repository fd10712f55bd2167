// Timers: delivery through the message loop, replacement, killing, and the test scale.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/user32/user_state.h"
#include "platform/user32/winuser.h"
#include "process_harness.h"
#include "test_windows.h"

namespace ve::testing {
namespace {

using Clock = std::chrono::steady_clock;

class Timers : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.activate();
        ::unsetenv("VE_TIMER_SCALE");
        window = createTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        ::unsetenv("VE_TIMER_SCALE");
    }
    TemporaryDesktop desktop;
    HWND window = nullptr;
};

TEST_F(Timers, ArriveNoSoonerThanAskedAndComeAfterPostedMessages) {
    auto start = Clock::now();
    EXPECT_EQ(SetTimer(window, 5, 100, nullptr), 5u);
    PostMessageA(window, WM_USER, 0, 0);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, UINT(WM_USER));
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, UINT(WM_TIMER));
    EXPECT_EQ(message.hwnd, window);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_GE(Clock::now() - start, 95ms);
    // It repeats until killed; a killed timer stays quiet.
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, UINT(WM_TIMER));
    EXPECT_TRUE(KillTimer(window, 5));
    EXPECT_FALSE(KillTimer(window, 5));
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Timers, SettingAnIdAgainReplacesTheTimer) {
    SetTimer(window, 1, 20, nullptr);
    SetTimer(window, 1, 60000, nullptr);
    std::this_thread::sleep_for(100ms);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Timers, DieWithTheirWindow) {
    HWND other = createTestWindow("other");
    SetTimer(other, 1, 10, nullptr);
    DestroyWindow(other);
    std::this_thread::sleep_for(50ms);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(SetTimer(other, 1, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

int procedureCalls = 0;
void CALLBACK countCalls(HWND, UINT message, UINT_PTR, DWORD) {
    if (message == WM_TIMER) ++procedureCalls;
}

TEST_F(Timers, WithoutAWindowGetTheirOwnNumberAndCanCallAProcedure) {
    UINT_PTR id = SetTimer(nullptr, 0, 10, countCalls);
    EXPECT_NE(id, 0u);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(message.wParam, id);
    DispatchMessageA(&message);
    EXPECT_EQ(procedureCalls, 1);
    KillTimer(nullptr, id);
}

TEST_F(Timers, TheTestScaleShortensEveryInterval) {
    ::setenv("VE_TIMER_SCALE", "0.001", 1);
    EXPECT_EQ(user::scaledTimerInterval(15000), 15ms);
    auto start = Clock::now();
    SetTimer(window, 1, 60000, nullptr);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, UINT(WM_TIMER));
    EXPECT_LT(Clock::now() - start, 30s);

    // The original platform's bounds hold before scaling; the scale never reaches zero.
    ::setenv("VE_TIMER_SCALE", "0.01", 1);
    EXPECT_EQ(user::scaledTimerInterval(1), 1ms);
    ::setenv("VE_TIMER_SCALE", "1", 1);
    EXPECT_EQ(user::scaledTimerInterval(1), 10ms);
    // A scale that makes no sense is ignored, with a warning.
    for (const char* bad : {"0", "-1", "fast", "1e9", "0.5x"}) {
        ::setenv("VE_TIMER_SCALE", bad, 1);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(user::scaledTimerInterval(15000), 15000ms) << bad;
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("VE_TIMER_SCALE"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace ve::testing
