// ve info: what ve can do on this machine.
#pragma once

namespace ve_cli {

// Prints supported rates, engines, back-ends, the processor's features and the automatic
// back-end choice, file formats and stream formats to standard output.
void runInfo();

}  // namespace ve_cli
