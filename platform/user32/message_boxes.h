#pragma once
// The desktop's record of message boxes, in the file "message-boxes" of the desktop directory: one
// line per box, in the order they were shown.

#include <string>
#include <vector>

#include "platform/win32_types.h"

namespace ve::user {

struct MessageBoxRecord {
    DWORD processId = 0;
    uint32_t owner = 0;
    UINT style = 0;
    std::string caption;
    std::string text;
    int answer = 0;
};

std::vector<MessageBoxRecord> readMessageBoxes(const std::string& desktop);

// "MB_OK|MB_ICONEXCLAMATION|MB_TASKMODAL" for 0x2030: the style as its constants' names.
std::string describeMessageBoxStyle(UINT style);

}  // namespace ve::user
