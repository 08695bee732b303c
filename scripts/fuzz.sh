#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (build-fuzz/) and runs each for a bounded number of inputs,
# starting from the committed seeds. Usage: scripts/fuzz.sh [runs per target]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200000}
bash scripts/install-deps.sh --dev
bash scripts/build.sh fuzz
for target in build-fuzz/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    seeds=fuzz/corpus/${name#fuzz_}
    work=$(mktemp -d)
    echo "==> $name: $runs runs"
    "$target" -runs="$runs" -max_len=4096 -print_final_stats=1 "$work" "$seeds" 2>&1 | tail -n 12 \
        || { echo "error: $name found a failing input (see above)" >&2; rm -rf "$work"; exit 1; }
    rm -rf "$work"
done
