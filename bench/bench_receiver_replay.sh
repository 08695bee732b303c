#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The live path against the file path on the audio benchmark's recordings (same conditions and
# seeds as bench/audio-benchmark.sh): every beacon the early reports give must be one the file gives,
# and none missing. Then the latency of early reports on generated signals.
#
#   bash bench/bench_receiver_replay.sh [beacons-per-recording (default 4)] [recordings-per-speed (default 1)]
#
# Environment: ROWS, SOURCES, PASSES, NOISE_SECONDS (default 900), DEV and BENCH_DIR as for
# bench/audio-benchmark.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
per_recording=${1:-4}
recordings=${2:-1}
work=${BENCH_DIR:-/tmp/tarnup-replay-bench}
rows=${ROWS:-.}
sources=${SOURCES:-hand ebook2cw}
seed_offset=0
[ "${DEV:-0}" = 1 ] && seed_offset=500000

bash scripts/build.sh release >/dev/null
gen=$root/build/bench/cwgen
replay=$root/build/bench/bench_receiver_replay
# shellcheck source=bench/recordings.sh
source "$root/bench/recordings.sh"

rm -rf "$work"
mkdir -p "$work"
cd "$work"
status=0
row() {
    echo "== $1"
    "$replay" "${files[@]}" || status=1
    for f in "${files[@]}"; do rm -f "$f" "$f.txt"; done
}

seed=$((1000 + seed_offset))
for c in "${conditions[@]}"; do
    read -r name snr drift fade <<<"$c"
    seed=$((seed + 3 * recordings))
    [[ $name =~ $rows ]] || continue
    files=()
    s=$((seed - 3 * recordings))
    for wpm in 12 18 25; do
        for ((r = 0; r < recordings; ++r)); do
            s=$((s + 1))
            plain_recording "c$s.wav" "$s" "$per_recording" "$wpm" "$snr" "$drift" "$fade"
            files+=("c$s.wav")
        done
    done
    row "$name"
done

seed=$((3000 + seed_offset))
for c in "${channel_conditions[@]}"; do
    read -r name ext options <<<"$c"
    for source in $sources; do
        seed=$((seed + 100))
        [[ $name =~ $rows ]] || continue
        files=()
        s=$seed
        for wpm in 12 18 25; do
            for ((r = 0; r < recordings; ++r)); do
                s=$((s + 1))
                # shellcheck disable=SC2086
                channel_recording "k$s.$ext" "$s" "$per_recording" "$wpm" "$source" $options
                files+=("k$s.$ext")
            done
        done
        row "${name}_($source)"
    done
done

if [[ pass =~ $rows ]] && [ "${PASSES:-2}" -gt 0 ]; then
    seed=$((5000 + seed_offset))
    for source in $sources; do
        files=()
        for ((r = 0; r < ${PASSES:-2}; ++r)); do
            seed=$((seed + 1))
            pass_recording "pass$seed.ogg" "$seed" "$source"
            files+=("pass$seed.ogg")
        done
        row "whole passes ($source)"
    done
fi
if [[ noise =~ $rows ]]; then
    noise_recording noise.wav $((7 + seed_offset)) "${NOISE_SECONDS:-900}"
    files=(noise.wav)
    row "noise, another station and crashes, ${NOISE_SECONDS:-900} s"
fi

echo "== latency, generated 48 kHz signals"
"$replay" --latency 8
exit $status
