#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The beacon log's figures: tarnup-decode --log on COUNT beacons (beacons/s, file size, median of
# RUNS fresh logs), then the History window on a logbook of COUNT entries over a week and a
# beacon's way from found to committed.
# Usage: bench/logbook.sh [runs, default 3] [count, default 100000]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
count=${2:-100000}

bash scripts/install-deps.sh
bash scripts/build.sh release >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
build/bench/make-beacon-week --text "$count" >"$scratch/beacons.txt"

: >"$scratch/seconds"
for ((run = 1; run <= runs; run++)); do
    rm -f "$scratch"/log.sqlite*
    start=$(date +%s%N)
    build/cli/tarnup-decode -q -f csv --log "$scratch/log.sqlite" "$scratch/beacons.txt" >/dev/null
    end=$(date +%s%N)
    echo "$(((end - start) / 1000))" >>"$scratch/seconds"
done
logged=$(sqlite3 "$scratch/log.sqlite" 'SELECT count(*) FROM beacons' 2>/dev/null || echo "?")
# The size once the write-ahead log is folded in, as another program would find it.
sqlite3 "$scratch/log.sqlite" 'PRAGMA wal_checkpoint(TRUNCATE)' >/dev/null 2>&1 || true
bytes=$(stat -c %s "$scratch/log.sqlite")
median_us=$(sort -n "$scratch/seconds" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
awk -v n="$count" -v us="$median_us" -v rows="$logged" -v bytes="$bytes" -v runs="$runs" 'BEGIN {
    printf "tarnup-decode --log: %d beacons in %.2f s (median of %d) = %.0f beacons/s; %s rows, %.1f MB (%.0f bytes a beacon)\n",
        n, us / 1e6, runs, n / (us / 1e6), rows, bytes / 1e6, bytes / n }'

build/bench/make-beacon-week --log "$scratch/week.sqlite" "$count"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build/bench/bench_logbook "$scratch/week.sqlite" "$runs"
