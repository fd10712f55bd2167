#include "ko_fixture.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/user32/winuser.h"

namespace ve::testing {
namespace {

pid_t parentOf(pid_t pid) {
    std::string text = readText("/proc/" + std::to_string(pid) + "/stat");
    auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 2));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

}  // namespace

void KoFixture::SetUp() {
    desktop.activate();
    // Stand-ins that outlive their supervisor become our children, so the test can collect them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void KoFixture::TearDown() {
    // End whatever this test started and is still running, and only that.
    for (pid_t pid : ko16Processes()) {
        pid_t parent = parentOf(pid);
        bool ours = parent == ::getpid() ||
                    std::find(started.begin(), started.end(), parent) != started.end();
        if (ours && processRunning(pid)) ::kill(pid, SIGKILL);
    }
    for (pid_t pid : started) killAndReap(pid);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

pid_t KoFixture::startKo(const KoRun& run) {
    std::vector<std::string> argv{KO_PROGRAM};
    argv.insert(argv.end(), run.arguments.begin(), run.arguments.end());
    const char* path = std::getenv("PATH");
    Environment environment{
        {"PATH", run.path.value_or(std::string(KO16_DIRECTORY) + ":" + (path ? path : ""))},
        {"KO16_OPTIONS", run.ko16Options},
        {"KO16_JOURNAL", desktop.file("KO16.journal")},
        {"VE_TIMER_SCALE", run.timerScale},
    };
    pid_t pid = spawnProgram(argv, environment, {}, desktop.file("ko.stderr"));
    started.push_back(pid);
    return pid;
}

pid_t KoFixture::startKo16(const std::string& options) {
    Environment environment{{"KO16_OPTIONS", options},
                            {"KO16_JOURNAL", desktop.file("KO16.journal")}};
    pid_t pid = spawnProgram({std::string(KO16_DIRECTORY) + "/KO16", "/c"}, environment, {},
                             desktop.file("ko16.stderr"));
    started.push_back(pid);
    return pid;
}

std::optional<int> KoFixture::waitForKoExit(pid_t ko, std::chrono::milliseconds timeout) {
    auto code = waitForExit(ko, timeout);
    if (code) std::erase(started, ko);
    return code;
}

std::vector<std::string> KoFixture::journal() const {
    return readLines(desktop.file("KO16.journal"));
}

std::vector<std::string> KoFixture::journalFrom(const std::string& from) const {
    auto lines = journal();
    auto it = from.empty() ? lines.begin() : std::find(lines.begin(), lines.end(), from);
    return {it, lines.end()};
}

bool KoFixture::journalHas(const std::string& line) const {
    auto lines = journal();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool KoFixture::waitForJournal(const std::string& line, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return journalHas(line); }, timeout);
}

std::vector<pid_t> KoFixture::ko16Processes() const {
    std::vector<pid_t> pids;
    for (const std::string& line : journal())
        if (line.rfind("start pid=", 0) == 0) pids.push_back(pid_t(std::stol(line.substr(10))));
    return pids;
}

std::vector<shell::TrayIcon> KoFixture::trayIcons() const {
    return shell::readTrayIcons(desktop.path());
}

unsigned KoFixture::trayIconShown() const {
    for (const auto& icon : trayIcons())
        if (icon.id == 901) return icon.iconResource;
    return 0;
}

bool KoFixture::waitForTrayIcon(unsigned resource, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return trayIconShown() == resource; }, timeout);
}

int KoFixture::tray(const std::vector<std::string>& arguments, std::string* output) {
    std::vector<std::string> argv{TRAY_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string errors;
    int code = runProgram(argv, {{"VE_DESKTOP", desktop.path()}}, output, &errors);
    if (code != 0) ADD_FAILURE() << "tray failed: " << errors;
    return code;
}

}  // namespace ve::testing
