#!/usr/bin/env bash
# The main job on a fresh machine: installs what the build needs, builds the ve tool and runs its
# built-in demo, which synthesises stereo and mono material, runs both engines and writes the
# WAV files with a summary of the stereo width before and after.
#   scripts/demo.sh [FOLDER]      (default: out/demo)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target ve
build/tools/ve/ve demo "${1:-out/demo}"
