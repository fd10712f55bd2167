// tray: the shell's side of the notification area of a desktop. Lists its icons, clicks them the
// way the shell does, and writes an icon's current image as a PNG file.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell/tray/icon_png.h"
#include "platform/shell/tray_store.h"
#include "platform/user32/icon_file.h"
#include "platform/user32/window_table.h"
#include "platform/user32/winuser.h"

namespace {

using ve::shell::TrayIcon;

const std::map<std::string, UINT> kMouseMessages = {
    {"mousemove", WM_MOUSEMOVE},         {"lbuttondown", WM_LBUTTONDOWN},
    {"lbuttonup", WM_LBUTTONUP},         {"lbuttondblclk", WM_LBUTTONDBLCLK},
    {"rbuttondown", WM_RBUTTONDOWN},     {"rbuttonup", WM_RBUTTONUP},
    {"rbuttondblclk", WM_RBUTTONDBLCLK}, {"mbuttondown", WM_MBUTTONDOWN},
    {"mbuttonup", WM_MBUTTONUP},         {"mbuttondblclk", WM_MBUTTONDBLCLK},
};

// The button messages the shell sends for each kind of click, in order.
const std::map<std::string, std::vector<UINT>> kClicks = {
    {"left", {WM_LBUTTONDOWN, WM_LBUTTONUP}},
    {"double", {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
    {"right", {WM_RBUTTONDOWN, WM_RBUTTONUP}},
};

int fail(const std::string& message) {
    std::fprintf(stderr, "tray: %s\n", message.c_str());
    return 1;
}

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Selection {
    std::optional<std::string> owner;
    std::optional<UINT> id;
};

// The one icon the selection names; an error message otherwise.
std::optional<TrayIcon> selectIcon(const std::string& desktop, const Selection& selection,
                                   std::string& error) {
    std::optional<uint32_t> owner;
    if (selection.owner) {
        auto value = ve::desktop::parseNumber(*selection.owner, 16);
        if (!value || *value > 0xFFFFFFFFu) {
            error = "--owner " + *selection.owner +
                    " is no window handle (expected hexadecimal, e.g. 0x10010)";
            return std::nullopt;
        }
        owner = uint32_t(*value);
    }
    std::vector<TrayIcon> matches;
    for (TrayIcon& icon : ve::shell::readTrayIcons(desktop)) {
        if ((!owner || icon.owner == *owner) && (!selection.id || icon.id == *selection.id))
            matches.push_back(std::move(icon));
    }
    if (matches.size() == 1) return matches.front();
    error = matches.empty() ? "no tray icon matches on desktop " + desktop
                            : std::to_string(matches.size()) +
                                  " tray icons match; choose one with --owner and --id";
    return std::nullopt;
}

// Posts the mouse messages to the icon's owner as the shell does; an icon whose owner is gone is
// dropped, as the shell drops it when the pointer passes over it.
int sendMouseMessages(const std::string& desktop, const TrayIcon& icon,
                      const std::vector<UINT>& messages) {
    HWND owner = reinterpret_cast<HWND>(uintptr_t(icon.owner));
    if (!IsWindow(owner)) {
        ve::desktop::Lock lock(desktop);
        ve::shell::removeTrayIcon(desktop, icon.owner, icon.id);
        return fail("the owner window " + ve::desktop::hex(icon.owner) + " of icon " +
                    std::to_string(icon.id) + " is gone; the icon was removed");
    }
    if (!(icon.flags & 1) || icon.callbackMessage == 0)
        return fail("icon " + std::to_string(icon.id) + " has no callback message");
    for (UINT message : messages) {
        if (!PostMessageA(owner, icon.callbackMessage, icon.id, LPARAM(message)))
            return fail("could not post to window " + ve::desktop::hex(icon.owner) + " (error " +
                        std::to_string(GetLastError()) + ")");
    }
    return 0;
}

int listIcons(const std::string& desktop) {
    auto windows = ve::user::liveWindows(desktop);
    for (const TrayIcon& icon : ve::shell::readTrayIcons(desktop)) {
        std::printf("owner=%s id=%u icon=%u tip=%s message=%s pid=%d",
                    ve::desktop::hex(icon.owner).c_str(), icon.id, icon.iconResource,
                    quote(icon.tip).c_str(), ve::desktop::hex(icon.callbackMessage).c_str(),
                    int(icon.process.pid));
        auto window = std::find_if(windows.begin(), windows.end(),
                                   [&](const auto& w) { return w.handle == icon.owner; });
        if (window != windows.end())
            std::printf(" class=%s title=%s\n", quote(window->className).c_str(),
                        quote(window->title).c_str());
        else
            std::printf(" (owner gone)\n");
    }
    return 0;
}

int writePng(const std::string& desktop, const Selection& selection, const std::string& path,
             int scale) {
    std::string error;
    auto icon = selectIcon(desktop, selection, error);
    if (!icon) return fail(error);
    if (icon->iconFile.empty()) return fail("icon " + std::to_string(icon->id) + " has no image");
    auto entries = ve::icons::parseIconFile(icon->iconFile, error);
    std::optional<ve::icons::IconBitmap> bitmap;
    if (entries) {
        const auto& entry = entries->front();
        bitmap = ve::icons::decodeIconImage(
            std::span<const uint8_t>(icon->iconFile.data() + entry.offset, entry.size), error);
    }
    if (!bitmap) return fail("icon " + std::to_string(icon->id) + ": " + error);
    if (!ve::shell::writeIconPng(*bitmap, scale, path, error)) return fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "The notification area (tray) of a desktop: list its icons, click them, show them."};
    app.require_subcommand(1);
    std::string desktopDir;
    app.add_option("--desktop", desktopDir,
                   "desktop directory (default: $VE_DESKTOP, else the user's default desktop)");

    Selection selection;
    auto addSelection = [&](CLI::App* command) {
        command->add_option("--owner", selection.owner, "owner window handle, e.g. 0x10010");
        command->add_option("--id", selection.id, "icon identifier");
    };

    app.add_subcommand("list", "list the icons: owner, identifier, icon resource, tip");

    auto* click = app.add_subcommand("click", "click an icon as the shell does");
    std::string kind;
    click->add_option("kind", kind, "left, double or right")
        ->required()
        ->check(CLI::IsMember({"left", "double", "right"}));
    addSelection(click);

    auto* send = app.add_subcommand("send", "send an icon single mouse messages, in order");
    std::vector<std::string> messageNames;
    std::vector<std::string> names;
    for (const auto& [name, value] : kMouseMessages) names.push_back(name);
    send->add_option("messages", messageNames, "mouse messages")
        ->required()
        ->check(CLI::IsMember(names));
    addSelection(send);

    auto* png = app.add_subcommand("png", "write an icon's current image as a PNG file");
    std::string pngPath;
    int scale = 1;
    png->add_option("file", pngPath, "PNG file to write")->required();
    png->add_option("--scale", scale, "enlarge each pixel to a square of this side")
        ->check(CLI::Range(1, 64));
    addSelection(png);

    CLI11_PARSE(app, argc, argv);

    if (!desktopDir.empty()) ::setenv(ve::desktop::kDesktopVariable, desktopDir.c_str(), 1);
    std::string desktop = ve::desktop::directory();
    if (desktop.empty()) return fail("cannot use the desktop directory");

    if (app.got_subcommand("list")) return listIcons(desktop);
    if (app.got_subcommand("png")) return writePng(desktop, selection, pngPath, scale);

    std::string error;
    auto icon = selectIcon(desktop, selection, error);
    if (!icon) return fail(error);
    std::vector<UINT> messages;
    if (app.got_subcommand("click")) {
        messages = kClicks.at(kind);
    } else {
        for (const std::string& name : messageNames) messages.push_back(kMouseMessages.at(name));
    }
    return sendMouseMessages(desktop, *icon, messages);
}
