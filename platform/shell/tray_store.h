#pragma once
// The desktop's notification-area icons as files in its "tray" folder (see shellapi.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/user32/desktop.h"
#include "platform/win32_types.h"

namespace ve::shell {

struct TrayIcon {
    uint32_t owner = 0;
    UINT id = 0;
    desktop::ProcessIdentity process;  // of the process that added it
    uint64_t order = 0;                // icons appear in the order they were added
    UINT flags = 0;                    // NIF_* fields that were ever set
    UINT callbackMessage = 0;
    std::string tip;
    unsigned iconResource = 0;
    std::vector<uint8_t> iconFile;  // an icon file holding the image; empty without an icon
};

// Every icon of the desktop, in the order they were added.
std::vector<TrayIcon> readTrayIcons(const std::string& desktop);

// The pieces Shell_NotifyIconA works with; the caller holds the desktop lock.
std::optional<TrayIcon> readTrayIcon(const std::string& desktop, uint32_t owner, UINT id);
bool writeTrayIcon(const std::string& desktop, const TrayIcon& icon);
bool removeTrayIcon(const std::string& desktop, uint32_t owner, UINT id);
uint64_t nextTrayOrder(const std::string& desktop);

}  // namespace ve::shell
