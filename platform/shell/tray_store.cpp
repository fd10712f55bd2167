#include "platform/shell/tray_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace ve::shell {
namespace {

std::string folder(const std::string& desktop) {
    return desktop + "/tray";
}

std::string iconPath(const std::string& desktop, uint32_t owner, UINT id) {
    char name[40];
    std::snprintf(name, sizeof name, "/%08X-%u", owner, id);
    return folder(desktop) + name;
}

std::string toHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::optional<std::vector<uint8_t>> fromHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        auto value = desktop::parseNumber(text.substr(i, 2), 16);
        if (!value) return std::nullopt;
        bytes.push_back(uint8_t(*value));
    }
    return bytes;
}

std::optional<TrayIcon> parseIcon(const std::string& text) {
    TrayIcon icon;
    int seen = 0;
    for (const std::string& line : desktop::splitLines(text)) {
        auto f = desktop::splitFields(line);
        if (f.size() < 2) continue;
        const std::string& key = f[0];
        auto number = [&](size_t i, int base) { return desktop::parseNumber(f.at(i), base); };
        if (key == "owner" && number(1, 16)) {
            icon.owner = uint32_t(*number(1, 16));
            ++seen;
        } else if (key == "id" && number(1, 10)) {
            icon.id = UINT(*number(1, 10));
            ++seen;
        } else if (key == "process" && f.size() == 3 && number(1, 10) && number(2, 10)) {
            icon.process = {pid_t(*number(1, 10)), *number(2, 10)};
        } else if (key == "order" && number(1, 10)) {
            icon.order = *number(1, 10);
        } else if (key == "flags" && number(1, 16)) {
            icon.flags = UINT(*number(1, 16));
        } else if (key == "callback" && number(1, 16)) {
            icon.callbackMessage = UINT(*number(1, 16));
        } else if (key == "tip") {
            icon.tip = desktop::unescape(f[1]);
        } else if (key == "icon" && number(1, 10)) {
            icon.iconResource = unsigned(*number(1, 10));
        } else if (key == "image") {
            auto bytes = fromHex(f[1]);
            if (!bytes) return std::nullopt;
            icon.iconFile = std::move(*bytes);
        }
    }
    if (seen != 2) return std::nullopt;
    return icon;
}

std::string formatIcon(const TrayIcon& icon) {
    return "owner\t" + desktop::hex(icon.owner) + "\nid\t" + std::to_string(icon.id) +
           "\nprocess\t" + std::to_string(icon.process.pid) + '\t' +
           std::to_string(icon.process.startTime) + "\norder\t" + std::to_string(icon.order) +
           "\nflags\t" + desktop::hex(icon.flags) + "\ncallback\t" +
           desktop::hex(icon.callbackMessage) + "\ntip\t" + desktop::escape(icon.tip) + "\nicon\t" +
           std::to_string(icon.iconResource) + "\nimage\t" + toHex(icon.iconFile) + "\n";
}

}  // namespace

std::vector<TrayIcon> readTrayIcons(const std::string& desktop) {
    std::vector<TrayIcon> icons;
    DIR* dir = ::opendir(folder(desktop).c_str());
    if (dir == nullptr) return icons;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || name.find(".new-") != std::string::npos) continue;
        auto text = desktop::readFile(folder(desktop) + "/" + name);
        if (!text) continue;  // deleted meanwhile
        if (auto icon = parseIcon(*text)) icons.push_back(std::move(*icon));
    }
    ::closedir(dir);
    std::sort(icons.begin(), icons.end(),
              [](const TrayIcon& a, const TrayIcon& b) { return a.order < b.order; });
    return icons;
}

std::optional<TrayIcon> readTrayIcon(const std::string& desktop, uint32_t owner, UINT id) {
    auto text = desktop::readFile(iconPath(desktop, owner, id));
    if (!text) return std::nullopt;
    return parseIcon(*text);
}

bool writeTrayIcon(const std::string& desktop, const TrayIcon& icon) {
    ::mkdir(folder(desktop).c_str(), 0700);
    return desktop::writeFileAtomically(iconPath(desktop, icon.owner, icon.id), formatIcon(icon));
}

bool removeTrayIcon(const std::string& desktop, uint32_t owner, UINT id) {
    return ::unlink(iconPath(desktop, owner, id).c_str()) == 0;
}

uint64_t nextTrayOrder(const std::string& desktop) {
    ::mkdir(folder(desktop).c_str(), 0700);
    std::string path = folder(desktop) + "/.order";
    uint64_t next = desktop::parseNumber(desktop::readFile(path).value_or("1"), 10).value_or(1);
    desktop::writeFileAtomically(path, std::to_string(next + 1));
    return next;
}

}  // namespace ve::shell
