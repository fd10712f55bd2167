#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/user32/desktop.h"
#include "platform/user32/message_boxes.h"
#include "platform/user32/user_state.h"
#include "platform/user32/winuser.h"

namespace ve::user {
namespace {

struct ButtonSet {
    const char* name;
    int buttons[3];
    int count;
};

constexpr ButtonSet kButtonSets[] = {
    {"MB_OK", {IDOK}, 1},
    {"MB_OKCANCEL", {IDOK, IDCANCEL}, 2},
    {"MB_ABORTRETRYIGNORE", {IDABORT, IDRETRY, IDIGNORE}, 3},
    {"MB_YESNOCANCEL", {IDYES, IDNO, IDCANCEL}, 3},
    {"MB_YESNO", {IDYES, IDNO}, 2},
    {"MB_RETRYCANCEL", {IDRETRY, IDCANCEL}, 2},
};

const char* answerName(int answer) {
    static const char* names[] = {"",        "IDOK",     "IDCANCEL", "IDABORT",
                                  "IDRETRY", "IDIGNORE", "IDYES",    "IDNO"};
    return answer > 0 && answer < 8 ? names[answer] : "0";
}

}  // namespace

std::string describeMessageBoxStyle(UINT style) {
    UINT buttons = style & 0xF;
    std::string text =
        buttons < std::size(kButtonSets) ? kButtonSets[buttons].name : desktop::hex(buttons);
    switch (style & 0xF0) {
        case 0:
            break;
        case MB_ICONHAND:
            text += "|MB_ICONHAND";
            break;
        case MB_ICONQUESTION:
            text += "|MB_ICONQUESTION";
            break;
        case MB_ICONEXCLAMATION:
            text += "|MB_ICONEXCLAMATION";
            break;
        case MB_ICONASTERISK:
            text += "|MB_ICONASTERISK";
            break;
        default:
            text += "|" + desktop::hex(style & 0xF0);
    }
    if (style & 0xF00) text += "|MB_DEFBUTTON" + std::to_string(((style & 0xF00) >> 8) + 1);
    switch (style & 0x3000) {
        case MB_SYSTEMMODAL:
            text += "|MB_SYSTEMMODAL";
            break;
        case MB_TASKMODAL:
            text += "|MB_TASKMODAL";
            break;
        default:
            break;
    }
    if (UINT rest = style & ~0x3FFFu) text += "|" + desktop::hex(rest);
    return text;
}

std::vector<MessageBoxRecord> readMessageBoxes(const std::string& desktop) {
    std::vector<MessageBoxRecord> boxes;
    auto text = desktop::readFile(desktop + "/message-boxes");
    if (!text) return boxes;
    for (const std::string& line : desktop::splitLines(*text)) {
        auto fields = desktop::splitFields(line);
        if (fields.size() != 6) continue;
        MessageBoxRecord box;
        box.processId = DWORD(desktop::parseNumber(fields[0], 10).value_or(0));
        box.owner = uint32_t(desktop::parseNumber(fields[1], 16).value_or(0));
        box.style = UINT(desktop::parseNumber(fields[2], 16).value_or(0));
        box.caption = desktop::unescape(fields[3]);
        box.text = desktop::unescape(fields[4]);
        box.answer = int(desktop::parseNumber(fields[5], 10).value_or(0));
        boxes.push_back(box);
    }
    return boxes;
}

}  // namespace ve::user

using namespace ve::user;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    UINT buttons = type & 0xF;
    UINT defaultButton = (type & 0xF00) >> 8;
    if (buttons >= std::size(kButtonSets) || defaultButton > 2 ||
        (owner != nullptr && !IsWindow(owner))) {
        SetLastError(owner != nullptr && !IsWindow(owner) ? ERROR_INVALID_WINDOW_HANDLE
                                                          : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const ButtonSet& set = kButtonSets[buttons];
    // Nobody is there to press a button: the default one answers.
    int answer = set.buttons[defaultButton < UINT(set.count) ? defaultButton : 0];
    std::string shownCaption = caption != nullptr ? caption : "Error";
    std::string shownText = text != nullptr ? text : "";

    std::fprintf(stderr, "[%s] %s {%s} -> %s\n", shownCaption.c_str(), shownText.c_str(),
                 describeMessageBoxStyle(type).c_str(), answerName(answer));
    std::fflush(stderr);

    std::string desktop = ve::desktop::directory();
    if (!desktop.empty()) {
        std::string record = std::to_string(::getpid()) + '\t' +
                             ve::desktop::hex(handleNumber(owner)) + '\t' + ve::desktop::hex(type) +
                             '\t' + ve::desktop::escape(shownCaption) + '\t' +
                             ve::desktop::escape(shownText) + '\t' + std::to_string(answer) + '\n';
        ve::desktop::appendRecord(desktop + "/message-boxes", record);
    }
    return answer;
}
