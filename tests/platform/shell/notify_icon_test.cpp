// Shell_NotifyIconA: adding, changing and deleting tray icons.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/shell/shellapi.h"
#include "platform/shell/tray_store.h"
#include "platform/user32/resources.h"
#include "platform/user32/winuser.h"
#include "process_harness.h"
#include "test_icons.h"

namespace ve::testing {
namespace {

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class NotifyIcon : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.activate();
        WNDCLASSA cls{};
        cls.lpfnWndProc = procedure;
        cls.lpszClassName = "VE TEST";
        RegisterClassA(&cls);
        window = CreateWindowExA(0, "VE TEST", "test", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        icon1 = LoadIconA(resources::programInstance(), MAKEINTRESOURCE(7001));
        icon2 = LoadIconA(resources::programInstance(), MAKEINTRESOURCE(7002));
        ASSERT_NE(icon1, nullptr);
        ASSERT_NE(icon2, nullptr);
    }
    void TearDown() override {
        DestroyIcon(icon1);
        DestroyIcon(icon2);
        if (IsWindow(window)) DestroyWindow(window);
    }

    NOTIFYICONDATAA data(UINT id, UINT flags, HICON icon = nullptr, const char* tip = "") {
        NOTIFYICONDATAA d;
        std::memset(&d, 0, sizeof d);
        d.cbSize = sizeof d;
        d.hWnd = window;
        d.uID = id;
        d.uFlags = flags;
        d.uCallbackMessage = WM_USER + 5;
        d.hIcon = icon;
        std::strncpy(d.szTip, tip, sizeof d.szTip);
        return d;
    }

    std::vector<shell::TrayIcon> icons() { return shell::readTrayIcons(desktop.path()); }

    TemporaryDesktop desktop;
    HWND window = nullptr;
    HICON icon1 = nullptr, icon2 = nullptr;
};

TEST_F(NotifyIcon, AddChangeDelete) {
    auto add = data(901, NIF_MESSAGE | NIF_ICON | NIF_TIP, icon1, "Ko");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &add));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &add));
    auto list = icons();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].owner, uint32_t(uintptr_t(window)));
    EXPECT_EQ(list[0].id, 901u);
    EXPECT_EQ(list[0].callbackMessage, UINT(WM_USER + 5));
    EXPECT_EQ(list[0].tip, "Ko");
    EXPECT_EQ(list[0].iconResource, 7001u);
    EXPECT_EQ(list[0].iconFile, iconFileOf(7001));
    EXPECT_EQ(list[0].process.pid, ::getpid());

    // A change touches only the fields its flags name.
    auto change = data(901, NIF_ICON, icon2, "ignored");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &change));
    list = icons();
    EXPECT_EQ(list[0].iconResource, 7002u);
    EXPECT_EQ(list[0].iconFile, iconFileOf(7002));
    EXPECT_EQ(list[0].tip, "Ko");

    auto remove = data(901, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &remove));
    EXPECT_TRUE(icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &remove));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &change));
}

TEST_F(NotifyIcon, TipsKeepAtMost63Characters) {
    auto add = data(1, NIF_TIP);
    std::memset(add.szTip, 'x', sizeof add.szTip);  // no terminator at all
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &add));
    EXPECT_EQ(icons()[0].tip, std::string(63, 'x'));
}

TEST_F(NotifyIcon, IconsAreListedInTheOrderTheyWereAdded) {
    for (UINT id : {5u, 2u, 9u}) {
        auto add = data(id, NIF_TIP);
        ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &add));
    }
    auto list = icons();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, 5u);
    EXPECT_EQ(list[1].id, 2u);
    EXPECT_EQ(list[2].id, 9u);
}

TEST_F(NotifyIcon, DeletingWorksAfterTheWindowIsGone) {
    auto add = data(901, NIF_ICON, icon1);
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &add));
    DestroyWindow(window);
    EXPECT_EQ(icons().size(), 1u);  // the shell keeps it until it is deleted
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &add));
    EXPECT_TRUE(icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &add));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(NotifyIcon, RefusesBadRecords) {
    auto bad = data(1, NIF_TIP);
    bad.cbSize = 504;  // a later, larger version of the record
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &bad));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    auto good = data(1, NIF_TIP);
    EXPECT_FALSE(Shell_NotifyIconA(3, &good));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
    auto noIcon = data(1, NIF_ICON, reinterpret_cast<HICON>(uintptr_t(0x1234)));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &noIcon));
    EXPECT_TRUE(icons().empty());
}

}  // namespace
}  // namespace ve::testing
