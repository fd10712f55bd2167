// The command line of ve: subcommands, options, help and version.
#pragma once

namespace ve_cli {

// Parses the command line and runs the chosen subcommand. Returns the exit code; prints every
// failure as one line on standard error.
int runCommandLine(int argc, char** argv);

}  // namespace ve_cli
