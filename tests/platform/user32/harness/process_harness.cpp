#include "process_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ve::testing {

TemporaryDesktop::TemporaryDesktop() {
    std::string pattern =
        std::filesystem::temp_directory_path().string() + "/ve-desktop-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TemporaryDesktop::~TemporaryDesktop() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TemporaryDesktop::activate() const {
    ::setenv("VE_DESKTOP", path_.c_str(), 1);
}

pid_t spawnProgram(const std::vector<std::string>& argv, const Environment& environment,
                   const std::string& stdoutPath, const std::string& stderrPath) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : environment)
            if (text.rfind(name + "=", 0) == 0) replaced = true;
        if (!replaced) env.push_back(text);
    }
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);

    std::vector<char*> args, envp;
    std::vector<std::string> argCopy = argv;
    for (std::string& a : argCopy) args.push_back(a.data());
    args.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = 0;
    int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    return pid;
}

std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
}

void killAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

int runProgram(const std::vector<std::string>& argv, const Environment& environment,
               std::string* output, std::string* errors, std::chrono::milliseconds timeout) {
    std::string base = std::filesystem::temp_directory_path().string() + "/ve-run-" +
                       std::to_string(::getpid()) + "-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string outPath = base + ".out", errPath = base + ".err";
    pid_t pid;
    try {
        pid = spawnProgram(argv, environment, outPath, errPath);
    } catch (...) {
        ::unlink(outPath.c_str());
        ::unlink(errPath.c_str());
        throw;
    }
    auto code = waitForExit(pid, timeout);
    if (!code) killAndReap(pid);
    if (output != nullptr) *output = readText(outPath);
    if (errors != nullptr) *errors = readText(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return code.value_or(-1);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(10ms);
    }
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool processRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

}  // namespace ve::testing
