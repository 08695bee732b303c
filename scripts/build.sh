#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds into build/ (or $BUILD_DIR); extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" \
    || { echo "error: configuring failed" >&2; exit 1; }
cmake --build "$build_dir" || { echo "error: build failed" >&2; exit 1; }
