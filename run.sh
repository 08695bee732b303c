#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the decoder.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
bash scripts/build.sh
exec build/window/tarnup-decoder
