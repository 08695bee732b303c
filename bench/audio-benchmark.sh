#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Audio decoder benchmark: generates CW test recordings with fixed seeds, decodes them with our
# decoder and, on the same files, with multimon-ng (MORSE_CW) and morse2ascii, and prints per
# condition the character error rate, the share of beacons recovered exactly and false beacons,
# then whole passes, the false beacons in an hour of noise, the speed and the peak memory.
#
#   bash bench/audio-benchmark.sh [beacons-per-recording (default 7)] [recordings-per-speed (default 4)]
#
# Environment:
#   ROWS=REGEX       only the conditions whose name matches (e.g. ROWS='spin|doppler'); "none" for none
#   SOURCES="hand ebook2cw"   keying sources for the channel conditions
#   PASSES=N         whole passes per keying source (default 2); NOISE_SECONDS (default 3600)
#   SPEED_PASS=0     skip the 10-minute OGG speed measurement
#   DEV=1            development seeds (never the benchmark's): for tuning, not for the table
# Work files go to $BENCH_DIR (default /tmp/tarnup-audio-bench) and are removed as it goes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
per_recording=${1:-7}
# More recordings rather than longer ones, so drift keeps its rate.
recordings=${2:-4}
work=${BENCH_DIR:-/tmp/tarnup-audio-bench}
noise_seconds=${NOISE_SECONDS:-3600}
rows=${ROWS:-.}
sources=${SOURCES:-hand ebook2cw}
passes=${PASSES:-2}
seed_offset=0
[ "${DEV:-0}" = 1 ] && seed_offset=500000

need=()
# sox reads MP3 only through libsox-fmt-mp3, which a no-recommends install leaves out.
for p in multimon-ng morse2ascii sox libsox-fmt-mp3 time python3 ebook2cw; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "==> installing: ${need[*]}"
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

bash scripts/build.sh release >/dev/null
gen=$root/build/bench/cwgen
cli=$root/build/cli/tarnup-decode
score=$root/bench/score.py
# shellcheck source=bench/recordings.sh
source "$root/bench/recordings.sh"

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Anchors: multimon-ng wants raw 22050 Hz s16le; an unknown code shows as <..._>, one wrong character.
multimon_text() {
    sox -V1 -G "$1" -t raw -r 22050 -e signed -b 16 -c 1 "$1.raw"
    multimon-ng -q -t raw -a MORSE_CW "$1.raw" 2>/dev/null | sed 's/<[._]*>/*/g' || true
    rm -f "$1.raw"
}
# morse2ascii reads mono WAV only.
morse2ascii_text() {
    local in=$1
    if [[ $in != *.wav ]] || [ "$(soxi -c "$in")" != 1 ]; then
        in=$1.m2a.wav
        sox -V1 -G "$1" -c 1 -b 16 "$in"
    fi
    morse2ascii "$in" 2>/dev/null | sed -n '/decoded morse data:/,$p' | tail -n +2 || true
    [ "$in" = "$1" ] || rm -f "$in"
}

speeds=()
peak_rss=0
# Decodes one recording with ours and the anchors and scores it; adds to sum[].
run_one() {
    local f=$1
    /usr/bin/time -f '%U %S %M' -o "$f.time" "$cli" --audio "$f" --format csv >"$f.csv" 2>/dev/null || true
    tail -n +2 "$f.csv" | cut -d, -f3 >"$f.ours.b"
    "$cli" --audio "$f" --morse-text >"$f.ours.t" 2>/dev/null || true
    multimon_text "$f" >"$f.mm.t"
    morse2ascii_text "$f" >"$f.m2a.t"
    local s oe of oerr ref me merr ae aerr
    read -r s oe of oerr ref _ < <(python3 "$score" "$f.txt" "$f.ours.t" "$f.ours.b")
    read -r _ me _ merr _ _ < <(python3 "$score" "$f.txt" "$f.mm.t")
    read -r _ ae _ aerr _ _ < <(python3 "$score" "$f.txt" "$f.m2a.t")
    sum[sent]=$((sum[sent] + s)); sum[ref]=$((sum[ref] + ref))
    sum[ours_exact]=$((sum[ours_exact] + oe)); sum[ours_false]=$((sum[ours_false] + of))
    sum[ours_err]=$((sum[ours_err] + oerr))
    sum[mm_exact]=$((sum[mm_exact] + me)); sum[mm_err]=$((sum[mm_err] + merr))
    sum[m2a_exact]=$((sum[m2a_exact] + ae)); sum[m2a_err]=$((sum[m2a_err] + aerr))
    local user sys rss seconds
    read -r user sys rss < <(tail -n 1 "$f.time")
    seconds=$(soxi -D "$f")
    speeds+=("$(python3 -c "print($seconds / max($user + $sys, 1e-3))")")
    [ "$rss" -gt "$peak_rss" ] && peak_rss=$rss
    rm -f "$f"
}
reset_sum() {
    for k in sent ours_exact ours_false ours_err mm_exact mm_err m2a_exact m2a_err ref; do sum[$k]=0; done
}
print_row() {
    python3 - "$1" "${sum[sent]}" "${sum[ref]}" "${sum[ours_err]}" "${sum[ours_exact]}" "${sum[ours_false]}" \
        "${sum[mm_err]}" "${sum[mm_exact]}" "${sum[m2a_err]}" "${sum[m2a_exact]}" <<'PY'
import sys
name, sent, ref, oerr, oex, ofalse, merr, mex, aerr, aex = sys.argv[1:]
sent, ref = int(sent), int(ref)
cer = lambda e: f"{100 * int(e) / max(ref, 1):.1f} %"
share = lambda x: f"{100 * int(x) / max(sent, 1):.0f} %"
print(f"| {name.replace('_', ' ')} | {sent} | {cer(oerr)} | {share(oex)} | {ofalse} | {cer(merr)} | {share(mex)} | {cer(aerr)} | {share(aex)} |")
PY
}

printf '| condition | beacons | ours CER | ours exact | ours false | multimon-ng CER | multimon-ng exact | morse2ascii CER | morse2ascii exact |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'

declare -A sum=()
seed=$((1000 + seed_offset))
for c in "${conditions[@]}"; do
    read -r name snr drift fade <<<"$c"
    for wpm in 12 18 25; do
        for ((r = 0; r < recordings; ++r)); do
            seed=$((seed + 1))
        done
    done
    [[ $name =~ $rows ]] || continue
    reset_sum
    seed=$((seed - 3 * recordings))
    for wpm in 12 18 25; do
        for ((r = 0; r < recordings; ++r)); do
            seed=$((seed + 1))
            f=c$seed.wav
            plain_recording "$f" "$seed" "$per_recording" "$wpm" "$snr" "$drift" "$fade"
            run_one "$f"
        done
    done
    print_row "$name"
done

seed=$((3000 + seed_offset))
for c in "${channel_conditions[@]}"; do
    read -r name ext options <<<"$c"
    for source in $sources; do
        seed=$((seed + 100))
        [[ $name =~ $rows ]] || continue
        reset_sum
        s=$seed
        for wpm in 12 18 25; do
            for ((r = 0; r < recordings; ++r)); do
                s=$((s + 1))
                f=k$s.$ext
                # shellcheck disable=SC2086
                channel_recording "$f" "$s" "$per_recording" "$wpm" "$source" $options
                run_one "$f"
            done
        done
        print_row "${name}_($source)"
    done
done

# Whole passes (see pass_recording): every beacon sent above -3 dB must be found.
if [[ pass =~ $rows ]] && [ "$passes" -gt 0 ]; then
    echo
    seed=$((5000 + seed_offset))
    for source in $sources; do
        above=0; found_above=0; all=0; found=0; false=0
        for ((r = 0; r < passes; ++r)); do
            seed=$((seed + 1))
            f=pass$seed.ogg
            pass_recording "$f" "$seed" "$source"
            "$cli" --audio "$f" --format csv 2>/dev/null | tail -n +2 | cut -d, -f3 >"$f.ours.b" || true
            read -r a fa n fn fl < <(python3 "$score" --above -3 "$f.txt" "$f.ours.b")
            above=$((above + a)); found_above=$((found_above + fa)); all=$((all + n)); found=$((found + fn))
            false=$((false + fl))
            rm -f "$f"
        done
        echo "Whole passes ($source, $passes of about 11 min): $found_above of $above beacons sent above -3 dB found," \
            "$found of $all in all, $false false."
    done
fi

if [[ noise =~ $rows ]] && [ "$noise_seconds" -gt 0 ]; then
    noise_recording noise.wav $((7 + seed_offset)) "$noise_seconds"
    /usr/bin/time -f '%U %S %M' -o noise.time "$cli" --audio noise.wav --format csv >noise.csv 2>/dev/null || true
    tail -n +2 noise.csv | cut -d, -f3 >noise.ours.b
    mm_chars=$(multimon_text noise.wav | tr -d ' \n' | wc -c)
    read -r user sys noise_rss < <(tail -n 1 noise.time)
    noise_speed=$(python3 -c "print(f'{$noise_seconds / max($user + $sys, 1e-3):.0f}')")
    rm -f noise.wav
    echo
    echo "Noise, other station and crashes, $((noise_seconds / 60)) min: ours $(grep -c . noise.ours.b || true)" \
        "false beacons; multimon-ng printed $mm_chars characters. Ours ${noise_speed}x real time, peak RSS $((noise_rss / 1024)) MB."
fi

if [ ${#speeds[@]} -gt 0 ]; then
    median_speed=$(printf '%s\n' "${speeds[@]}" | sort -g | awk '{a[NR]=$1} END {m = NR % 2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; printf "%.0f", m}')
    echo "Speed (ours, one core, user+sys CPU): median ${median_speed}x real time over ${#speeds[@]} test files;" \
        "peak RSS $((peak_rss / 1024)) MB."
fi

if [ "${SPEED_PASS:-1}" = 1 ]; then
    # A 10-minute 48 kHz mono OGG pass: our CPU against decoding its Vorbis alone (medians of 3).
    "$gen" --out speed.ogg --seed $((9 + seed_offset)) --channels 1 --snr 12 --whole-pass --doppler-mhz 435 \
        --max-elevation 30 --correction-error 1 --pause 8:25 --start-hz 900
    cpu() { /usr/bin/time -f '%U %S %M' "$@" 2>&1 >/dev/null | tail -n 1; }
    ours=(); vorbis=(); rss=0
    for _ in 1 2 3; do
        read -r u s m < <(cpu "$cli" --audio speed.ogg --quiet)
        ours+=("$(python3 -c "print($u + $s)")"); rss=$m
        read -r u s _ < <(cpu sox speed.ogg -t raw -)
        vorbis+=("$(python3 -c "print($u + $s)")")
    done
    med() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
    echo "10-minute OGG pass ($(soxi -d speed.ogg)): ours $(med "${ours[@]}") s CPU, sox alone $(med "${vorbis[@]}") s," \
        "ratio $(python3 -c "print(f'{$(med "${ours[@]}") / $(med "${vorbis[@]}"):.2f}')"); peak RSS $((rss / 1024)) MB."
    rm -f speed.ogg
fi
