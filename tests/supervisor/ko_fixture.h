#pragma once
// Runs the supervisor for real, with the KO16 stand-in, on a desktop of the test's own.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/shell/tray_store.h"
#include "process_harness.h"

namespace ve::testing {

// The poll timer runs at this fraction of its 15 s unless a test asks for the real interval:
// 300 ms, so that the supervisor notices a vanished application quickly.
inline constexpr const char* kFastTimers = "0.02";

struct KoRun {
    std::vector<std::string> arguments = {};  // after the program name
    std::string ko16Options = {};             // KO16_OPTIONS
    std::string timerScale = kFastTimers;
    std::optional<std::string> path = {};  // PATH; by default the stand-in's folder first
};

class KoFixture : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;

    // Starts ko; its standard error goes to ko.stderr in the desktop.
    pid_t startKo(const KoRun& run = {});
    // Starts the stand-in directly, as if someone had started KO16 by hand.
    pid_t startKo16(const std::string& options);

    std::optional<int> waitForKoExit(pid_t ko, std::chrono::milliseconds timeout = 30s);

    std::vector<std::string> journal() const;
    // The journal lines from the first one equal to `from` on (all of it when empty).
    std::vector<std::string> journalFrom(const std::string& from) const;
    bool journalHas(const std::string& line) const;
    bool waitForJournal(const std::string& line, std::chrono::milliseconds timeout = 20s) const;
    std::vector<pid_t> ko16Processes() const;

    std::vector<shell::TrayIcon> trayIcons() const;
    // The resource number the supervisor's tray icon shows, or 0 when there is no such icon.
    unsigned trayIconShown() const;
    bool waitForTrayIcon(unsigned resource, std::chrono::milliseconds timeout = 20s) const;

    // Runs the tray program on this desktop; returns its exit code.
    int tray(const std::vector<std::string>& arguments, std::string* output = nullptr);

    std::string koErrors() const { return readText(desktop.file("ko.stderr")); }

    TemporaryDesktop desktop;
    std::vector<pid_t> started;
};

}  // namespace ve::testing
