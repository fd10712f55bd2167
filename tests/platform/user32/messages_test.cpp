// Posting and retrieving messages within and between processes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <map>

#include "platform/user32/winuser.h"
#include "process_harness.h"
#include "test_windows.h"

namespace ve::testing {
namespace {

class Messages : public ::testing::Test {
  protected:
    void SetUp() override { desktop.activate(); }
    TemporaryDesktop desktop;
};

TEST_F(Messages, FromSeveralProcessesKeepTheirOrderAndNeverGetLost) {
    HWND window = createTestWindow();
    ASSERT_NE(window, nullptr);
    constexpr int kSenders = 3, kEach = 2000;
    std::vector<pid_t> senders;
    for (int tag = 0; tag < kSenders; ++tag)
        senders.push_back(spawnProgram({PEER_PROGRAM, "post", handleText(window), "0x0401",
                                        std::to_string(kEach), std::to_string(tag)}));
    std::map<WPARAM, LPARAM> next;
    int received = 0;
    MSG message;
    while (received < kSenders * kEach) {
        ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
        ASSERT_EQ(message.hwnd, window);
        ASSERT_EQ(message.message, 0x0401u);
        ASSERT_LT(message.wParam, WPARAM(kSenders));
        ASSERT_EQ(message.lParam, next[message.wParam]) << "sender " << message.wParam;
        ++next[message.wParam];
        ++received;
    }
    for (pid_t sender : senders) EXPECT_EQ(waitForExit(sender, 30s), 0);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST_F(Messages, AFullQueueRefusesInsteadOfBlockingAndKeepsWhatItHolds) {
    HWND window = createTestWindow();
    int posted = 0;
    while (posted < 100000 && PostMessageA(window, WM_USER, 0, posted)) ++posted;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_QUOTA));
    EXPECT_GE(posted, 2048);
    EXPECT_LT(posted, 100000);
    MSG message;
    for (int i = 0; i < posted; ++i) {
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
        ASSERT_EQ(message.lParam, i);
    }
    // Room again.
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));
    DestroyWindow(window);
}

TEST_F(Messages, ToAWindowWhoseProcessEndedFail) {
    std::string out = desktop.file("peer.out");
    pid_t peer = spawnProgram({PEER_PROGRAM, "window", "PEER", "peer"}, {}, out);
    // The peer prints its window's handle once CreateWindowExA has returned.
    ASSERT_TRUE(waitUntil([&] { return !readText(out).empty(); }));
    HWND window = FindWindowA("peer", "PEER");  // neither class nor title minds the case
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(handleText(window) + "\n", readText(out));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));

    // Killed, it cannot take its window off the desktop; the desktop still knows it is gone.
    killAndReap(peer);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FindWindowA("PEER", nullptr), nullptr);
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Messages, AWindowOfAnotherProcessClosesThroughItsOwnProcedure) {
    pid_t peer = spawnProgram({PEER_PROGRAM, "window", "PEER", "peer"});
    ASSERT_TRUE(waitUntil([&] { return FindWindowA("PEER", nullptr) != nullptr; }));
    HWND window = FindWindowA("PEER", nullptr);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(waitForExit(peer, 20s), 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Messages, QuitComesAfterThePostedMessages) {
    HWND window = createTestWindow();
    PostMessageA(window, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(window, WM_USER, 2, 0);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.wParam, 2u);
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    DestroyWindow(window);
}

TEST_F(Messages, ForADestroyedWindowAreDropped) {
    HWND gone = createTestWindow("gone");
    HWND kept = createTestWindow("kept");
    PostMessageA(gone, WM_USER, 1, 0);
    PostMessageA(kept, WM_USER, 2, 0);
    DestroyWindow(gone);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, kept);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
    DestroyWindow(kept);
}

TEST_F(Messages, FiltersLeaveOtherMessagesInOrder) {
    HWND a = createTestWindow("a");
    HWND b = createTestWindow("b");
    PostMessageA(a, WM_USER, 1, 0);
    PostMessageA(b, WM_USER, 2, 0);
    PostMessageA(a, WM_USER + 1, 3, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(message.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(Messages, RegisteredNumbersAgreeBetweenProcesses) {
    UINT mine = RegisterWindowMessageA("KO32UWM_NOTIFYICON:Controls");
    UINT other = RegisterWindowMessageA("Another message");
    EXPECT_GE(mine, 0xC000u);
    EXPECT_LE(mine, 0xFFFFu);
    EXPECT_NE(mine, other);
    EXPECT_EQ(RegisterWindowMessageA("ko32uwm_notifyicon:controls"), mine);

    std::string output;
    ASSERT_EQ(runProgram({PEER_PROGRAM, "register", "KO32UWM_NOTIFYICON:Controls"}, {}, &output),
              0);
    EXPECT_EQ(output, std::to_string(mine) + "\n");
    ASSERT_EQ(runProgram({PEER_PROGRAM, "register", "New in the peer"}, {}, &output), 0);
    EXPECT_EQ(RegisterWindowMessageA("NEW IN THE PEER"), UINT(std::stoul(output)));

    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Messages, ToThreadGoToTheOwnQueueWithoutAWindow) {
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER, 5, 6));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(DispatchMessageA(&message), 0);
}

}  // namespace
}  // namespace ve::testing
