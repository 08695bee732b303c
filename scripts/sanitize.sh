#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh sanitize
ctest --preset sanitize || { echo "error: tests failed under the sanitizers" >&2; exit 1; }
