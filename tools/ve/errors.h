// The two ways a run of ve can fail. Each carries a one-line message that names the problem and
// what would be accepted; main() prints it and maps the kind to the exit code.
#pragma once

#include <stdexcept>

namespace ve_cli {

inline constexpr int kExitFailure = 1;  // bad input, unwritable output, a write error
inline constexpr int kExitUsage = 2;    // a command line that cannot be run as given

// Something about the files, streams or the machine went wrong.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A malformed, out-of-range or conflicting option value.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace ve_cli
