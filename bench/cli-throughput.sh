#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times tarnup-decode on a generated log of 1,000,000 lines, to csv and to json (output to
# /dev/null), and prints the median beacons per second and the peak resident memory.
# Usage: bench/cli-throughput.sh [runs per format, default 5] [lines, default 1000000]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
lines=${2:-1000000}

bash scripts/install-deps.sh
if [ ! -x /usr/bin/time ]; then
    echo "==> installing time"
    export DEBIAN_FRONTEND=noninteractive
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends time >/dev/null \
        || { echo "error: could not install the time package" >&2; exit 1; }
fi
# The release preset builds with CMAKE_BUILD_TYPE=Release.
bash scripts/build.sh release >/dev/null

decoder=build/cli/tarnup-decode
log=build/bench/beacon-log-$lines.txt
[ -s "$log" ] || build/bench/make-beacon-log "$lines" >"$log"
# One core: the decoder is single-threaded, the pin only keeps it from wandering.
pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Status 1 only says that some lines were not beacons, which the log is made to have.
"$decoder" -q -f csv "$log" >"$scratch/rows.csv" || [ $? -eq 1 ]
beacons=$(($(wc -l <"$scratch/rows.csv") - 1))
rm "$scratch/rows.csv"
echo "==> $log: $lines lines, $beacons beacons, $(du -h "$log" | cut -f1); $runs runs per format"
for format in csv json; do
    : >"$scratch/seconds"
    : >"$scratch/kilobytes"
    for ((run = 1; run <= runs; run++)); do
        start=$(date +%s%N)
        status=0
        "${pin[@]}" /usr/bin/time -o "$scratch/rss" -f %M "$decoder" -q -f "$format" "$log" >/dev/null || status=$?
        end=$(date +%s%N)
        [ "$status" -le 1 ] || { echo "error: tarnup-decode failed with status $status" >&2; exit 1; }
        echo "$(((end - start) / 1000))" >>"$scratch/seconds"
        tail -n 1 "$scratch/rss" >>"$scratch/kilobytes"
    done
    median_us=$(sort -n "$scratch/seconds" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    peak_kb=$(sort -n "$scratch/kilobytes" | tail -n 1)
    awk -v f="$format" -v us="$median_us" -v b="$beacons" -v l="$lines" -v kb="$peak_kb" 'BEGIN {
        printf "%-4s median %.3f s  %.0f beacons/s  %.0f lines/s  peak RSS %.1f MB\n",
            f, us / 1e6, b / (us / 1e6), l / (us / 1e6), kb / 1024 }'
done
