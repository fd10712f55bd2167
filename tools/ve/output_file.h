// An output file that appears only when it is complete.
//
// The data goes to a temporary file beside the target (same folder, so the final rename is
// atomic); commit() renames it into place. If the run fails, is destroyed without commit, or is
// interrupted by a signal, the temporary file is removed and the target is left as it was.
// Targets that are not regular files (/dev/null, a FIFO) are written directly.
#pragma once

#include <string>

namespace ve_cli {

class OutputFile {
  public:
    // Throws ToolError when the target cannot be written: a directory, a missing folder, no
    // permission, a read-only file system.
    explicit OutputFile(const std::string& target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int fd() const { return fd_; }
    // "output 'name'", for messages.
    const std::string& description() const { return description_; }
    // Closes the file and moves it into place. Throws ToolError if either step fails.
    void commit();

  private:
    void discard();

    std::string description_;
    std::string finalPath_;
    std::string temporaryPath_;
    int fd_ = -1;
    int cleanupSlot_ = -1;
    bool committed_ = false;
};

}  // namespace ve_cli
