#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark once with tiny counts so that CI notices when one stops building or running.
# The figures it prints mean nothing; the real runs are described in the README.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh release >/dev/null
fail() { echo "error: benchmark '$1' failed" >&2; exit 1; }
build/bench/bench_decode -iterations 1 >/dev/null || fail bench_decode
QT_QPA_PLATFORM=offscreen build/bench/bench_window 2 >/dev/null 2>&1 || fail bench_window
log=$(mktemp)
trap 'rm -f "$log"' EXIT
build/bench/make-beacon-log 1000 >"$log" 2>/dev/null || fail make-beacon-log
build/cli/tarnup-decode --quiet --format csv "$log" >/dev/null || [ $? -eq 1 ] || fail tarnup-decode
# The channel model and the audio decoder: one short 48 kHz OGG through most of the channel.
audio=$(mktemp --suffix=.ogg)
trap 'rm -f "$log" "$audio"' EXIT
build/bench/cwgen --out "$audio" --count 1 --wpm 25 --snr 10 --receiver --other-offset 300 --impulses 1 \
    --spin-null 10 --doppler-mhz 145.8 --centre-on-closest --keep-band 400:2600 || fail cwgen
build/cli/tarnup-decode --quiet --audio "$audio" >/dev/null || [ $? -eq 1 ] || fail "tarnup-decode --audio"
QT_QPA_PLATFORM=offscreen build/bench/bench_receiver --live 1 >/dev/null 2>&1 || fail bench_receiver
build/bench/beacon_sweep --seeds 1 --snr 10 --wpm 25 >/dev/null || fail beacon_sweep
echo "==> benchmarks build and run"
