#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds a consumer against it twice: once through
# the CMake package (ve32::ve32) and once through pkg-config.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" --component ve32 > /dev/null
for f in include/ve32.h lib/libve32.so lib/libve32.so.1 lib/pkgconfig/ve32.pc lib/cmake/ve32/ve32Config.cmake; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done

cmake -S "$source_dir/consumer" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
cmake --build "$prefix/consumer" > /dev/null
LD_LIBRARY_PATH="$prefix/lib" "$prefix/consumer/consumer"

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs ve32)
cc "$source_dir/consumer/main.c" $flags -o "$prefix/pkg-consumer"
LD_LIBRARY_PATH="$prefix/lib" "$prefix/pkg-consumer"
