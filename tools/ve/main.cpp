// ve: enhances audio files and real-time streams with the ve32 engines.
#include "cli.h"
#include "signal_cleanup.h"

int main(int argc, char** argv) {
    ve_cli::installSignalCleanup();
    return ve_cli::runCommandLine(argc, argv);
}
