#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds one of the CMake presets (default: release, into build/).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
cmake --preset "$preset" >/dev/null || { echo "error: configuring the '$preset' build failed" >&2; exit 1; }
cmake --build --preset "$preset" || { echo "error: the '$preset' build failed" >&2; exit 1; }
