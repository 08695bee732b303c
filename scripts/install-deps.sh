#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the program and the tests need; quick when all are there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # Liberation Mono stands in for "Courier New"; DejaVu gives the UI font a known face.
    fonts-liberation fonts-dejavu-core
    pkg-config libsndfile1-dev libvorbis-dev
    # Sound card and UDP audio, the beacon log (SQLite through Qt SQL) and its plots.
    qt6-multimedia-dev qt6-charts-dev libqt6sql6-sqlite
    # Qt Charts' CMake package needs Qt OpenGL's development files.
    libqt6opengl6-dev
    # Reads the beacon log from the shell (its benchmark uses it).
    sqlite3
)
# Sanitizer, fuzzing and static-check tools, for CI and developers.
if [ "${1:-}" = --dev ]; then
    packages+=(clang clang-tidy clang-format libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "==> installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: run as root or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq || { echo "error: apt-get update failed" >&2; exit 1; }
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    || { echo "error: could not install: ${missing[*]}" >&2; exit 1; }
