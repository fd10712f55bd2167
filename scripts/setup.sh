#!/usr/bin/env bash
# Installs everything a fresh Debian machine needs to build, test and run the project.
set -euo pipefail
packages=(
  build-essential cmake g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libsamplerate0-dev libcli11-dev libfmt-dev
  lv2-dev lilv-utils sordi ffmpeg sox hyperfine time
  libpng-dev zlib1g-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
