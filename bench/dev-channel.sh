#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The channel conditions on development seeds, large enough to show rates the benchmark's 12 beacons
# a row cannot (one miss there is 8 points): our decoder only, two recordings at a time, the
# recordings it got wrong kept for a look.
#
#   bash bench/dev-channel.sh [recordings-per-speed (default 20)] [condition-index...]
#
# Conditions are indices into channel_conditions (bench/recordings.sh), all by default; SOURCES as
# in the benchmark. Seeds from 700,001: apart from the benchmark's and from DEV=1's. Prints a line
# per condition and source: sent, exact, false. Work files go to $BENCH_DIR (default
# /tmp/tarnup-dev-channel).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
command -v python3 >/dev/null || { echo "error: needs python3 (and ebook2cw for its keying)" >&2; exit 1; }
bash scripts/build.sh release >/dev/null
recordings=${1:-20}
shift || true
sources=${SOURCES:-hand ebook2cw}
work=${BENCH_DIR:-/tmp/tarnup-dev-channel}
# shellcheck source=bench/recordings.sh
source "$root/bench/recordings.sh"
indices=("$@")
[ ${#indices[@]} -gt 0 ] || mapfile -t indices < <(seq 0 $((${#channel_conditions[@]} - 1)))
mkdir -p "$work"

# one CONDITION SOURCE WPM SEED: records, decodes, scores; keeps the recording only when it failed.
one() {
    local ci=$1 source=$2 wpm=$3 s=$4 name ext options f
    read -r name ext options <<<"${channel_conditions[$ci]}"
    f=$work/${name//\//-}_${source}_$s.$ext
    # shellcheck disable=SC2086
    channel_recording "$f" "$s" 4 "$wpm" "$source" $options >/dev/null 2>&1
    "$cli" --audio "$f" --format csv 2>/dev/null | tail -n +2 | cut -d, -f3 >"$f.b" || true
    # Only the beacons are scored here: the raw text (for the character error rate) is not decoded.
    read -r sent exact false _ < <(python3 "$root/bench/score.py" "$f.txt" "$f.b" "$f.b")
    echo "$sent $exact $false" >"$f.score"
    if [ "$sent" = "$exact" ] && [ "$false" = 0 ]; then rm -f "$f"; fi
}
export -f one channel_recording
export work root gen=$root/build/bench/cwgen cli=$root/build/cli/tarnup-decode
export CONDITIONS="${channel_conditions[*]@A}"

for ci in "${indices[@]}"; do
    read -r name _ <<<"${channel_conditions[$ci]}"
    for source in $sources; do
        rm -f "$work/${name//\//-}_${source}"_*
        # shellcheck disable=SC2016 # the inner shell expands it
        for wpm in 12 18 25; do
            for ((r = 0; r < recordings; ++r)); do
                echo "$ci $source $wpm $((700001 + (wpm == 12 ? 0 : wpm == 18 ? 1000 : 2000) + r))"
            done
        done | xargs -P 2 -L 1 bash -c 'eval "$CONDITIONS"; one "$@"' _
        cat "$work/${name//\//-}_${source}"_*.score | awk -v n="$name ($source)" \
            '{s += $1; e += $2; f += $3} END {printf "%-36s sent %d exact %d false %d\n", n, s, e, f}'
    done
done
