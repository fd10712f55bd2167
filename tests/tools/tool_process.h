// Runs the built ve program the way a user's shell would, with control over its standard streams,
// its limits and the signals it gets.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace ve_test {

struct ToolResult {
    int exitCode = -1;   // when it exited
    int termSignal = 0;  // when a signal ended it
    std::string out;     // standard output (empty when redirected)
    std::string err;     // standard error
};

struct ToolOptions {
    std::string input;                       // written to standard input, which is then closed
    std::optional<std::string> stdoutPath;   // send standard output to this file (e.g. /dev/full)
    std::optional<long> fileSizeLimitBytes;  // RLIMIT_FSIZE for the run
    bool stderrOnTerminal = false;           // standard error on a pseudo-terminal
    std::string workingDirectory;
    std::optional<uid_t> user;  // run as this user (needs the super-user)
};

inline ToolOptions withInput(std::string input) {
    ToolOptions options;
    options.input = std::move(input);
    return options;
}
inline ToolOptions limitedTo(long fileSizeBytes) {
    ToolOptions options;
    options.fileSizeLimitBytes = fileSizeBytes;
    return options;
}
inline ToolOptions standardOutputTo(std::string path) {
    ToolOptions options;
    options.stdoutPath = std::move(path);
    return options;
}

// Runs ve with args and waits for it.
ToolResult runTool(const std::vector<std::string>& args, const ToolOptions& options = {});

// A running ve whose standard input the test feeds piece by piece.
class ToolProcess {
  public:
    explicit ToolProcess(const std::vector<std::string>& args, bool stderrOnTerminal = false);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Writes all of data to standard input, collecting ve's output meanwhile.
    void write(const std::string& data);
    void closeInput();
    // Reads exactly `bytes` bytes of standard output, or fewer if the deadline passes.
    std::string readOutput(size_t bytes, double timeoutSeconds);
    // Closes standard input, collects the rest of both outputs and waits for the exit.
    ToolResult finish();

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string collectedOut_;
    std::string collectedErr_;
};

// Tool paths for messages in failed assertions.
std::string toolPath();

}  // namespace ve_test
