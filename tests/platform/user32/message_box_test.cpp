// Message boxes: shown on standard error, recorded on the desktop, answered at once.

#include <gtest/gtest.h>

#include "platform/user32/message_boxes.h"
#include "platform/user32/winuser.h"
#include "process_harness.h"
#include "test_windows.h"

namespace ve::testing {
namespace {

class MessageBoxes : public ::testing::Test {
  protected:
    void SetUp() override { desktop.activate(); }
    TemporaryDesktop desktop;
};

TEST_F(MessageBoxes, AreShownRecordedAndAnsweredByTheDefaultButton) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Could not start Ko", "Ko Supervisor",
                          MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL),
              IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Line one\nline\ttwo", nullptr, MB_YESNO | MB_DEFBUTTON2), IDNO);
    HWND owner = createTestWindow();
    EXPECT_EQ(MessageBoxA(owner, "Retry?", "Ask", MB_RETRYCANCEL | MB_ICONQUESTION), IDRETRY);
    std::string shown = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(shown.find("[Ko Supervisor] Could not start Ko "
                         "{MB_OK|MB_ICONEXCLAMATION|MB_TASKMODAL} -> IDOK\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("[Error] Line one\nline\ttwo {MB_YESNO|MB_DEFBUTTON2} -> IDNO\n"),
              std::string::npos)
        << shown;

    auto boxes = user::readMessageBoxes(desktop.path());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "Ko Supervisor");
    EXPECT_EQ(boxes[0].text, "Could not start Ko");
    EXPECT_EQ(boxes[0].style, 0x2030u);
    EXPECT_EQ(boxes[0].owner, 0u);
    EXPECT_EQ(boxes[0].answer, IDOK);
    EXPECT_EQ(boxes[0].processId, GetCurrentProcessId());
    EXPECT_EQ(boxes[1].caption, "Error");  // the system's caption when none is given
    EXPECT_EQ(boxes[1].text, "Line one\nline\ttwo");
    EXPECT_EQ(boxes[2].owner, uint32_t(uintptr_t(owner)));
    EXPECT_EQ(boxes[2].answer, IDRETRY);
    DestroyWindow(owner);
}

TEST_F(MessageBoxes, WithoutAValidStyleOrOwnerFail) {
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 6), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(uintptr_t(0x7777)), "x", "y", MB_OK), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(user::readMessageBoxes(desktop.path()).empty());
}

TEST(MessageBoxStyle, NamesEveryPart) {
    EXPECT_EQ(user::describeMessageBoxStyle(0x30), "MB_OK|MB_ICONEXCLAMATION");
    EXPECT_EQ(user::describeMessageBoxStyle(0x2030), "MB_OK|MB_ICONEXCLAMATION|MB_TASKMODAL");
    EXPECT_EQ(user::describeMessageBoxStyle(0x1213),
              "MB_YESNOCANCEL|MB_ICONHAND|MB_DEFBUTTON3|MB_SYSTEMMODAL");
    EXPECT_EQ(user::describeMessageBoxStyle(0x40004), "MB_YESNO|0x40000");
}

}  // namespace
}  // namespace ve::testing
