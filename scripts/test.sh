#!/usr/bin/env bash
# Sets up, builds and runs every test twice: an optimised build, then a build under the address
# and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# Tests labelled "external" hand our shared objects to programs we did not build; those programs
# cannot load a sanitizer runtime, so they run in the optimised build only.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVE_SANITIZE=ON -DVE_BUILD_BENCHMARKS=OFF
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -LE external
