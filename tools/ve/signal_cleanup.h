// Removes unfinished output files when the process is interrupted.
//
// Outputs are written to temporary files that are renamed only on success. If SIGINT, SIGTERM or
// SIGHUP arrives midway, the handler deletes every registered temporary file and then lets the
// signal end the process as it would have, so the shell still sees an interrupted command.
#pragma once

#include <string>

namespace ve_cli {

// Installs the handlers, and ignores SIGPIPE and SIGXFSZ so that a closed pipe or a file-size
// limit turns into a write error that ve reports and cleans up after.
void installSignalCleanup();
// Registers a temporary file for removal on a signal; returns a slot for forgetCleanupPath.
int registerCleanupPath(const std::string& path);
void forgetCleanupPath(int slot);

}  // namespace ve_cli
