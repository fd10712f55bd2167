// Window classes and windows: creation, finding, Z order, owners and popups.

#include <gtest/gtest.h>

#include <vector>

#include "platform/user32/window_table.h"
#include "platform/user32/winuser.h"
#include "process_harness.h"
#include "test_windows.h"

namespace ve::testing {
namespace {

class Windows : public ::testing::Test {
  protected:
    void SetUp() override { desktop.activate(); }
    std::vector<uint32_t> zOrder() {
        std::vector<uint32_t> handles;
        for (const auto& r : user::liveWindows(desktop.path())) handles.push_back(r.handle);
        return handles;
    }
    static uint32_t number(HWND window) { return uint32_t(uintptr_t(window)); }
    TemporaryDesktop desktop;
};

std::vector<UINT> seen;
LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        return create->lpCreateParams != nullptr ? -1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Windows, CreationRunsTheProcedureAndCanBeRefused) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = recordingProcedure;
    cls.lpszClassName = "Recording";
    ASSERT_NE(RegisterClassA(&cls), 0);
    EXPECT_EQ(RegisterClassA(&cls), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));

    seen.clear();
    HWND window =
        CreateWindowExA(0, "recording", "t", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    seen.clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(seen, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));

    // WM_CREATE answering -1 destroys the window again and creation fails.
    seen.clear();
    int refuse = 1;
    EXPECT_EQ(
        CreateWindowExA(0, "Recording", "t", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, &refuse),
        nullptr);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_TRUE(zOrder().empty());

    EXPECT_EQ(
        CreateWindowExA(0, "No such class", "t", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Windows, FindWindowTakesTheTopmostMatch) {
    HWND first = createTestWindow("First");
    HWND second = createTestWindow("Second");
    EXPECT_EQ(zOrder(), (std::vector<uint32_t>{number(second), number(first)}));
    EXPECT_EQ(FindWindowA("VE TEST", nullptr), second);
    EXPECT_EQ(FindWindowA("ve test", "first"), first);
    EXPECT_EQ(FindWindowA(nullptr, "Second"), second);
    EXPECT_EQ(FindWindowA("VE TEST", "Third"), nullptr);
    EXPECT_EQ(FindWindowA("Other", nullptr), nullptr);
    ASSERT_TRUE(BringWindowToTop(first));
    EXPECT_EQ(FindWindowA("VE TEST", nullptr), first);
    DestroyWindow(first);
    EXPECT_EQ(FindWindowA("VE TEST", nullptr), second);
    DestroyWindow(second);
}

TEST_F(Windows, LastActivePopupIsTheMostRecentlyActivatedVisibleOwnedWindow) {
    HWND owner = createTestWindow("owner");
    EXPECT_EQ(GetLastActivePopup(owner), owner);
    HWND hidden = createTestWindow("hidden", WS_POPUP, owner);
    EXPECT_EQ(GetLastActivePopup(owner), owner);  // never shown, never active
    HWND first = createTestWindow("first", WS_POPUP | WS_VISIBLE, owner);
    HWND second = createTestWindow("second", WS_POPUP | WS_VISIBLE, owner);
    EXPECT_EQ(GetLastActivePopup(owner), second);
    BringWindowToTop(first);
    EXPECT_EQ(GetLastActivePopup(owner), first);
    ShowWindow(first, SW_HIDE);
    EXPECT_EQ(GetLastActivePopup(owner), second);
    EXPECT_EQ(GetLastActivePopup(hidden), hidden);

    // Destroying the owner destroys what it owns.
    DestroyWindow(owner);
    EXPECT_TRUE(zOrder().empty());
    EXPECT_EQ(GetLastActivePopup(owner), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Windows, ShowWindowReportsThePreviousVisibility) {
    HWND window = createTestWindow("w", WS_VISIBLE);
    auto record = [&] { return user::findWindowRecord(desktop.path(), number(window)); };
    EXPECT_TRUE(record()->visible);
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(record()->visible);
    EXPECT_FALSE(ShowWindow(window, SW_HIDE));
    EXPECT_TRUE(UpdateWindow(window));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window, &pid), GetCurrentProcessId());
    EXPECT_EQ(pid, GetCurrentProcessId());
    DestroyWindow(window);
    EXPECT_FALSE(UpdateWindow(window));
}

TEST_F(Windows, DefaultProcedureClosesOnCloseAndTheCloseCommand) {
    HWND window = createTestWindow();
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace ve::testing
