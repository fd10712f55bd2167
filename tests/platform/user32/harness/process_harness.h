#pragma once
// Test support for the window services: private desktops and real processes, with deadlines
// instead of fixed sleeps.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ve::testing {

using namespace std::chrono_literals;
using Environment = std::vector<std::pair<std::string, std::string>>;

// A desktop directory of its own, removed with everything in it at the end. activate() makes it
// the desktop of this process and of the processes it starts.
class TemporaryDesktop {
  public:
    TemporaryDesktop();
    ~TemporaryDesktop();
    TemporaryDesktop(const TemporaryDesktop&) = delete;
    TemporaryDesktop& operator=(const TemporaryDesktop&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void activate() const;

  private:
    std::string path_;
};

// Starts a program with extra environment variables, its standard output and error going to the
// given files (or inherited when empty).
pid_t spawnProgram(const std::vector<std::string>& argv, const Environment& environment = {},
                   const std::string& stdoutPath = {}, const std::string& stderrPath = {});

// The exit code of a child (128 + signal when a signal ended it), or nothing when it is still
// running after the time-out.
std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds timeout);

// Ends a child that may still run and collects it.
void killAndReap(pid_t pid);

// Runs a program to its end and returns its exit code, with its output in the strings given.
int runProgram(const std::vector<std::string>& argv, const Environment& environment = {},
               std::string* output = nullptr, std::string* errors = nullptr,
               std::chrono::milliseconds timeout = 60s);

// Polls the condition until it holds or the time-out passes; returns its last value.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s);

std::string readText(const std::string& path);
std::vector<std::string> readLines(const std::string& path);

// True while a process with this id runs (and is not a zombie).
bool processRunning(pid_t pid);

}  // namespace ve::testing
