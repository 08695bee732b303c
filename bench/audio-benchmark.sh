#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Audio decoder benchmark: generates CW test recordings with fixed seeds, decodes them with our
# decoder and, on the same files, with multimon-ng (MORSE_CW) and morse2ascii, and prints per
# condition the character error rate, the share of beacons recovered exactly and false beacons,
# then the false beacons in an hour of noise, the speed and the peak memory.
#
#   bash bench/audio-benchmark.sh [beacons-per-recording (default 7)] [recordings-per-speed (default 4)]
#
# Work files go to $BENCH_DIR (default /tmp/tarnup-audio-bench) and are removed as it goes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
per_recording=${1:-7}
# More recordings rather than longer ones, so drift keeps its rate.
recordings=${2:-4}
work=${BENCH_DIR:-/tmp/tarnup-audio-bench}
noise_seconds=${NOISE_SECONDS:-3600}

need=()
for p in multimon-ng morse2ascii sox time python3; do
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
ours_beacons() { "$cli" --audio "$1" --format csv | tail -n +2 | cut -d, -f3; }
ours_text() { "$cli" --audio "$1" --morse-text; }
ours_timed=("$cli" --audio --format csv)
score=$root/bench/score.py

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Anchors: multimon-ng wants raw 22050 Hz s16le; an unknown code shows as <..._>, one wrong character.
multimon_text() {
    sox -V1 -G "$1" -t raw -r 22050 -e signed -b 16 -c 1 "$1.raw"
    multimon-ng -q -t raw -a MORSE_CW "$1.raw" 2>/dev/null | sed 's/<[._]*>/*/g' || true
    rm -f "$1.raw"
}
morse2ascii_text() {
    morse2ascii "$1" 2>/dev/null | sed -n '/decoded morse data:/,$p' | tail -n +2 || true
}

# name snr drift fade
conditions=(
    "+20dB 20 0 0" "+10dB 10 0 0" "+6dB 6 0 0" "+3dB 3 0 0" "0dB 0 0 0" "-3dB -3 0 0" "-6dB -6 0 0"
    "-8dB -8 0 0" "-10dB -10 0 0"
    "+3dB_drift 3 300 0" "0dB_drift 0 300 0" "-3dB_drift -3 300 0" "-6dB_drift -6 300 0" "-10dB_drift -10 300 0"
    "+6dB_fading 6 0 10" "+3dB_fading 3 0 10" "0dB_fading 0 0 10" "-3dB_fading -3 0 10"
)

printf '| condition | beacons | ours CER | ours exact | ours false | multimon-ng CER | multimon-ng exact | morse2ascii CER | morse2ascii exact |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
speeds=()
audio_total=0
cpu_total=0
peak_rss=0
seed=1000
for c in "${conditions[@]}"; do
    read -r name snr drift fade <<<"$c"
    declare -A sum=()
    for k in sent ours_exact ours_false ours_err mm_exact mm_err m2a_exact m2a_err ref; do sum[$k]=0; done
    wpms=()
    for w in 12 18 25; do
        for ((r = 0; r < recordings; ++r)); do wpms+=("$w"); done
    done
    for wpm in "${wpms[@]}"; do
        seed=$((seed + 1))
        # Drift alternates in sign; the tone starts where the drift keeps it inside 300..1500 Hz.
        d=$drift
        start=$((500 + (seed * 97) % 500))
        if [ "$drift" != 0 ] && [ $((seed % 2)) -eq 0 ]; then
            d=-$drift
            start=$((start + 300))
        fi
        f=c$seed.wav
        "$gen" --out "$f" --truth "$f.txt" --seed "$seed" --count "$per_recording" --wpm "$wpm" --snr "$snr" \
            --drift "$d" --fade "$fade" --start-hz "$start" $([ $((seed % 3)) -eq 0 ] && echo --grouped)
        /usr/bin/time -f '%U %S %M' -o "$f.time" "${ours_timed[@]}" "$f" >/dev/null 2>&1 || true
        ours_beacons "$f" >"$f.ours.b" 2>/dev/null || true
        ours_text "$f" >"$f.ours.t" 2>/dev/null || true
        multimon_text "$f" >"$f.mm.t"
        morse2ascii_text "$f" >"$f.m2a.t"
        read -r s oe of oerr ref < <(python3 "$score" "$f.txt" "$f.ours.t" "$f.ours.b")
        read -r _ me _ merr _ < <(python3 "$score" "$f.txt" "$f.mm.t")
        read -r _ ae _ aerr _ < <(python3 "$score" "$f.txt" "$f.m2a.t")
        sum[sent]=$((sum[sent] + s)); sum[ref]=$((sum[ref] + ref))
        sum[ours_exact]=$((sum[ours_exact] + oe)); sum[ours_false]=$((sum[ours_false] + of))
        sum[ours_err]=$((sum[ours_err] + oerr))
        sum[mm_exact]=$((sum[mm_exact] + me)); sum[mm_err]=$((sum[mm_err] + merr))
        sum[m2a_exact]=$((sum[m2a_exact] + ae)); sum[m2a_err]=$((sum[m2a_err] + aerr))
        read -r user sys rss < <(tail -n 1 "$f.time")
        seconds=$(soxi -D "$f")
        speeds+=("$(python3 -c "print($seconds / max($user + $sys, 1e-3))")")
        audio_total=$(python3 -c "print($audio_total + $seconds)")
        cpu_total=$(python3 -c "print($cpu_total + $user + $sys)")
        [ "$rss" -gt "$peak_rss" ] && peak_rss=$rss
        rm -f "$f"
    done
    python3 - "$name" "${sum[sent]}" "${sum[ref]}" "${sum[ours_err]}" "${sum[ours_exact]}" "${sum[ours_false]}" \
        "${sum[mm_err]}" "${sum[mm_exact]}" "${sum[m2a_err]}" "${sum[m2a_exact]}" <<'PY'
import sys
name, sent, ref, oerr, oex, ofalse, merr, mex, aerr, aex = sys.argv[1:]
sent, ref = int(sent), int(ref)
cer = lambda e: f"{100 * int(e) / ref:.1f} %"
share = lambda x: f"{100 * int(x) / sent:.0f} %"
print(f"| {name.replace('_', ' ')} | {sent} | {cer(oerr)} | {share(oex)} | {ofalse} | {cer(merr)} | {share(mex)} | {cer(aerr)} | {share(aex)} |")
PY
    unset sum
done

# An hour of noise (at the noise level of a 0 dB signal): no beacon may come out of it.
"$gen" --out noise.wav --seed 7 --snr 0 --noise-seconds "$noise_seconds"
/usr/bin/time -f '%U %S %M' -o noise.time "${ours_timed[@]}" noise.wav >noise.ours 2>/dev/null || true
ours_beacons noise.wav >noise.ours.b 2>/dev/null || true
mm_chars=$(multimon_text noise.wav | tr -d ' \n' | wc -c)
m2a_chars=$(morse2ascii_text noise.wav | tr -d ' \n' | wc -c)
read -r user sys noise_rss < <(tail -n 1 noise.time)
noise_speed=$(python3 -c "print(f'{$noise_seconds / max($user + $sys, 1e-3):.0f}')")
rm -f noise.wav
median_speed=$(printf '%s\n' "${speeds[@]}" | sort -g | awk '{a[NR]=$1} END {m = NR % 2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; printf "%.0f", m}')

echo
echo "Noise, $((noise_seconds / 60)) min: ours $(grep -c . noise.ours.b || true) false beacons;" \
    "multimon-ng printed $mm_chars characters, morse2ascii $m2a_chars."
echo "Speed (ours, one core, user+sys CPU): median ${median_speed}x real time over $(( ${#speeds[@]} )) test files;" \
    "${noise_speed}x on the noise hour."
echo "Peak RSS (ours): $((peak_rss / 1024)) MB over the test files (a few minutes each);" \
    "$((noise_rss / 1024)) MB on the noise hour."
