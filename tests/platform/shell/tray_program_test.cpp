// The tray program against icons of windows of this test process.

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

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

constexpr UINT kCallback = WM_USER + 7;

class TrayProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.activate();
        WNDCLASSA cls{};
        cls.lpfnWndProc = procedure;
        cls.lpszClassName = "VE TEST";
        RegisterClassA(&cls);
        window = CreateWindowExA(0, "VE TEST", "Owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        icon = LoadIconA(resources::programInstance(), MAKEINTRESOURCE(7001));
        ASSERT_NE(icon, nullptr);
    }
    void TearDown() override {
        DestroyIcon(icon);
        if (IsWindow(window)) DestroyWindow(window);
    }

    void addIcon(UINT id, UINT flags = NIF_MESSAGE | NIF_ICON | NIF_TIP) {
        NOTIFYICONDATAA data;
        std::memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        data.hWnd = window;
        data.uID = id;
        data.uFlags = flags;
        data.uCallbackMessage = kCallback;
        data.hIcon = icon;
        std::strcpy(data.szTip, "say \"hi\"");
        ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    }

    int tray(const std::vector<std::string>& arguments, std::string* output = nullptr,
             std::string* errors = nullptr) {
        std::vector<std::string> argv{TRAY_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return runProgram(argv, {}, output, errors);
    }

    // The mouse messages the window received through the icon's callback, in order.
    std::vector<LPARAM> received(UINT id) {
        std::vector<LPARAM> mouse;
        MSG message;
        while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
            EXPECT_EQ(message.message, kCallback);
            EXPECT_EQ(message.wParam, id);
            mouse.push_back(message.lParam);
        }
        return mouse;
    }

    std::string owner() const {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lX", (unsigned long)(uintptr_t)window);
        return text;
    }

    TemporaryDesktop desktop;
    HWND window = nullptr;
    HICON icon = nullptr;
};

TEST_F(TrayProgram, ListsOwnerIdentifierIconAndTip) {
    addIcon(901);
    std::string output;
    ASSERT_EQ(tray({"list"}, &output), 0);
    EXPECT_EQ(output, "owner=" + owner() +
                          " id=901 icon=7001 tip=\"say \\\"hi\\\"\" message=0x407 pid=" +
                          std::to_string(::getpid()) + " class=\"VE TEST\" title=\"Owner\"\n");
}

TEST_F(TrayProgram, ClicksAsTheShellSendsThem) {
    addIcon(901);
    struct Case {
        std::vector<std::string> arguments;
        std::vector<LPARAM> expected;
    } cases[] = {
        {{"click", "left"}, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {{"click", "double"}, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {{"click", "right"}, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {{"send", "mousemove", "rbuttondown", "lbuttonup"},
         {WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_LBUTTONUP}},
    };
    for (const Case& c : cases) {
        std::string errors;
        ASSERT_EQ(tray(c.arguments, nullptr, &errors), 0) << errors;
        EXPECT_EQ(received(901), c.expected) << c.arguments.back();
    }
}

TEST_F(TrayProgram, ChoosesOneIconOrSaysWhy) {
    std::string errors;
    EXPECT_EQ(tray({"click", "left"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("no tray icon matches"), std::string::npos) << errors;
    addIcon(1);
    addIcon(2);
    EXPECT_EQ(tray({"click", "left"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("2 tray icons match; choose one with --owner and --id"),
              std::string::npos);
    ASSERT_EQ(tray({"click", "right", "--id", "2", "--owner", owner()}), 0);
    EXPECT_EQ(received(2), (std::vector<LPARAM>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    EXPECT_EQ(tray({"click", "left", "--owner", "window"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("--owner window is no window handle"), std::string::npos) << errors;
    EXPECT_NE(tray({"click", "middle"}, nullptr, &errors), 0);
    EXPECT_NE(tray({"send", "keydown"}, nullptr, &errors), 0);
    EXPECT_TRUE(received(1).empty());
}

TEST_F(TrayProgram, IconsWithoutACallbackOrWithoutAnOwnerCannotBeClicked) {
    addIcon(3, NIF_ICON);
    std::string errors;
    EXPECT_EQ(tray({"click", "left"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("icon 3 has no callback message"), std::string::npos) << errors;

    DestroyWindow(window);
    std::string output;
    ASSERT_EQ(tray({"list"}, &output), 0);
    EXPECT_NE(output.find("(owner gone)"), std::string::npos) << output;
    EXPECT_EQ(tray({"click", "left"}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("is gone; the icon was removed"), std::string::npos) << errors;
    EXPECT_TRUE(shell::readTrayIcons(desktop.path()).empty());
}

std::vector<Pixel> readPng(const std::string& path, unsigned& width, unsigned& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<Pixel> pixels(image.width * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = image.width;
    height = image.height;
    return pixels;
}

TEST_F(TrayProgram, WritesTheIconAsAnEnlargedPng) {
    addIcon(901);
    std::string path = desktop.file("icon.png");
    ASSERT_EQ(tray({"png", path, "--scale", "3"}), 0);
    unsigned width = 0, height = 0;
    auto pixels = readPng(path, width, height);
    ASSERT_EQ(width, 6u);
    ASSERT_EQ(height, 6u);
    for (unsigned y = 0; y < 6; ++y)
        for (unsigned x = 0; x < 6; ++x)
            EXPECT_EQ(pixels[y * 6 + x], kIcon7001[(y / 3) * 2 + x / 3]) << x << "," << y;

    std::string errors;
    std::string nowhere = desktop.file("missing/icon.png");
    EXPECT_EQ(tray({"png", nowhere}, nullptr, &errors), 1);
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_NE(tray({"png", path, "--scale", "0"}, nullptr, &errors), 0);
}

}  // namespace
}  // namespace ve::testing
