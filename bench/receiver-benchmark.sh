#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Receiver's figures (see README, "Receiver benchmark"): a live 48 kHz UDP stream in the real
# window (CPU share, beacon end to report in Text3, GUI frames), and a 10-minute 48 kHz OGG
# through Open Recording against tarnup-decode --audio. Usage: bench/receiver-benchmark.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
command -v sox >/dev/null || apt-get install -y --no-install-recommends sox libsox-fmt-all >/dev/null
bash scripts/build.sh release >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}

echo "==> live: 120 s of a 48 kHz UDP stream on 127.0.0.1, in the window"
build/bench/bench_receiver --live 120 2>/dev/null
# Apart: the 2 ms timer that finds the GUI thread's longest wall-time gap wakes it 500 times a
# second, which would count in the CPU shares above.
echo "==> the decoder alone, live (early reports) and not, 8 beacons a row, 48 kHz"
build/bench/bench_receiver_replay --latency 8
echo "==> live again, 30 s, with a 2 ms timer in the GUI thread"
build/bench/bench_receiver --live 30 --gap-probe 2>/dev/null | grep -E 'longest'

echo "==> a 10-minute 48 kHz OGG (36 beacons, 0 dB)"
build/bench/cwgen --out "$work/pass.wav" --seed 7 --count 36 --wpm 20 --snr 0 --rate 48000 >/dev/null
sox "$work/pass.wav" "$work/pass.ogg"
rm "$work/pass.wav"
soxi -d "$work/pass.ogg"

wall=() cpu=()
for _ in $(seq "$runs"); do
    out=$( { /usr/bin/time -f '%e %U %S' build/cli/tarnup-decode --audio -f csv "$work/pass.ogg" >"$work/cli.csv"; } 2>&1 | tail -1)
    read -r e u s <<<"$out"
    wall+=("$e")
    cpu+=("$(echo "$u + $s" | bc)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
echo "tarnup-decode --audio: median of $runs runs $(median "${wall[@]}") s wall, $(median "${cpu[@]}") s CPU (user + system), $(($(wc -l <"$work/cli.csv") - 1)) beacons"
build/bench/bench_receiver --recording "$work/pass.ogg" --runs "$runs" 2>/dev/null
