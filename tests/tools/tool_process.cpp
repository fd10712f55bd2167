#include "tool_process.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace ve_test {
namespace {

// A pipe that polls writable takes this much without blocking; a larger write could block while
// ve waits for us to read its output.
constexpr size_t kPipeChunk = PIPE_BUF;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int fds[2];
        check(pipe2(fds, O_CLOEXEC) == 0, "pipe");
        read = fds[0];
        write = fds[1];
    }
};

pid_t spawn(const std::vector<std::string>& args, int in, int out, int err,
            const ToolOptions& options) {
    pid_t pid = fork();
    check(pid >= 0, "fork");
    if (pid != 0) return pid;

    // Child: only async-signal-safe work from here to exec.
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
        _exit(126);
    if (options.fileSizeLimitBytes) {
        rlimit limit{static_cast<rlim_t>(*options.fileSizeLimitBytes),
                     static_cast<rlim_t>(*options.fileSizeLimitBytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.user && (setgid(*options.user) != 0 || setuid(*options.user) != 0)) _exit(126);
    // Start from the default dispositions a shell would give, whatever the test runner has.
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGXFSZ}) signal(sig, SIG_DFL);
    std::vector<char*> argv;
    std::string program = VE_TOOL_PATH;
    argv.push_back(program.data());
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

ToolResult waitFor(pid_t pid) {
    ToolResult result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.termSignal = WTERMSIG(status);
    return result;
}

// Feeds `input` to `in` while draining `out` and `err`, so that no pipe fills up and stalls.
void pumpStreams(int in, std::string input, int out, std::string& outText, int err,
                 std::string& errText) {
    size_t written = 0;
    if (input.empty() && in >= 0) {
        close(in);
        in = -1;
    }
    while (in >= 0 || out >= 0 || err >= 0) {
        pollfd fds[3];
        int count = 0;
        if (in >= 0) fds[count++] = {in, POLLOUT, 0};
        if (out >= 0) fds[count++] = {out, POLLIN, 0};
        if (err >= 0) fds[count++] = {err, POLLIN, 0};
        if (poll(fds, static_cast<nfds_t>(count), -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in) {
                ssize_t n = ::write(in, input.data() + written,
                                    std::min<size_t>(input.size() - written, kPipeChunk));
                if (n > 0) written += static_cast<size_t>(n);
                if (n < 0 || written == input.size()) {
                    close(in);
                    in = -1;
                }
            } else {
                char buffer[65536];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                std::string& target = fds[i].fd == out ? outText : errText;
                if (n > 0) {
                    target.append(buffer, static_cast<size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    // A pseudo-terminal reports EIO once the child has gone.
                    close(fds[i].fd);
                    (fds[i].fd == out ? out : err) = -1;
                }
            }
        }
    }
}

}  // namespace

std::string toolPath() {
    return VE_TOOL_PATH;
}

ToolResult runTool(const std::vector<std::string>& args, const ToolOptions& options) {
    // ve may stop reading early (that is what several tests check); the test must survive it.
    signal(SIGPIPE, SIG_IGN);
    Pipe in, out;
    int errRead = -1, errWrite = -1;
    if (options.stderrOnTerminal) {
        check(openpty(&errRead, &errWrite, nullptr, nullptr, nullptr) == 0, "openpty");
        fcntl(errRead, F_SETFD, FD_CLOEXEC);
        fcntl(errWrite, F_SETFD, FD_CLOEXEC);
    } else {
        Pipe err;
        errRead = err.read;
        errWrite = err.write;
    }
    int outTarget = out.write;
    if (options.stdoutPath) {
        outTarget =
            open(options.stdoutPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        check(outTarget >= 0, "open stdout target");
    }
    pid_t pid = spawn(args, in.read, outTarget, errWrite, options);
    close(in.read);
    close(out.write);
    if (outTarget != out.write) close(outTarget);
    close(errWrite);

    ToolResult collected;
    pumpStreams(in.write, options.input, out.read, collected.out, errRead, collected.err);
    ToolResult result = waitFor(pid);
    result.out = std::move(collected.out);
    result.err = std::move(collected.err);
    return result;
}

ToolProcess::ToolProcess(const std::vector<std::string>& args, bool stderrOnTerminal) {
    signal(SIGPIPE, SIG_IGN);
    Pipe in, out;
    int errWrite = -1;
    if (stderrOnTerminal) {
        check(openpty(&err_, &errWrite, nullptr, nullptr, nullptr) == 0, "openpty");
        fcntl(err_, F_SETFD, FD_CLOEXEC);
        fcntl(errWrite, F_SETFD, FD_CLOEXEC);
    } else {
        Pipe err;
        err_ = err.read;
        errWrite = err.write;
    }
    pid_ = spawn(args, in.read, out.write, errWrite, ToolOptions{});
    close(in.read);
    close(out.write);
    close(errWrite);
    in_ = in.write;
    out_ = out.read;
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitFor(pid_);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0) close(fd);
}

void ToolProcess::write(const std::string& data) {
    // ve writes while it reads: keep draining its outputs, or both sides wait on full pipes.
    size_t done = 0;
    while (done < data.size()) {
        pollfd fds[3] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(fds, err_ >= 0 ? 3 : 2, -1) < 0) {
            check(errno == EINTR, "poll");
            continue;
        }
        if (fds[0].revents & (POLLOUT | POLLERR)) {
            ssize_t n = ::write(in_, data.data() + done, std::min(data.size() - done, kPipeChunk));
            if (n < 0 && errno == EINTR) continue;
            check(n > 0, "write to ve");
            done += static_cast<size_t>(n);
        }
        char buffer[65536];
        if (fds[1].revents & POLLIN) {
            ssize_t n = read(out_, buffer, sizeof buffer);
            if (n > 0) collectedOut_.append(buffer, static_cast<size_t>(n));
        }
        if (fds[2].revents & POLLIN) {
            ssize_t n = read(err_, buffer, sizeof buffer);
            if (n > 0) collectedErr_.append(buffer, static_cast<size_t>(n));
        }
    }
}

void ToolProcess::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

std::string ToolProcess::readOutput(size_t bytes, double timeoutSeconds) {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(timeoutSeconds));
    while (collectedOut_.size() < bytes) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{out_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[65536];
        ssize_t n = read(out_, buffer, std::min(sizeof buffer, bytes - collectedOut_.size()));
        if (n <= 0) break;
        collectedOut_.append(buffer, static_cast<size_t>(n));
    }
    std::string result = collectedOut_.substr(0, std::min(bytes, collectedOut_.size()));
    collectedOut_.erase(0, result.size());
    return result;
}

ToolResult ToolProcess::finish() {
    closeInput();
    std::string out = std::move(collectedOut_), err = std::move(collectedErr_);
    pumpStreams(-1, "", out_, out, err_, err);
    out_ = err_ = -1;
    ToolResult result = waitFor(pid_);
    pid_ = -1;
    result.out = std::move(out);
    result.err = std::move(err);
    return result;
}

}  // namespace ve_test
