# SPDX-License-Identifier: GPL-3.0-or-later
# The audio benchmark's recordings, made the same way wherever they are needed (sourced by
# bench/audio-benchmark.sh and bench/bench_receiver_replay.sh). Each maker takes the output file
# first and writes its truth beside it as FILE.txt; $gen is the cwgen to run.

# The plain generator (8 kHz mono WAV, hand keying): name snr drift fade
conditions=(
    "+20dB 20 0 0" "+10dB 10 0 0" "+6dB 6 0 0" "+3dB 3 0 0" "0dB 0 0 0" "-3dB -3 0 0" "-6dB -6 0 0"
    "-8dB -8 0 0" "-10dB -10 0 0"
    "+3dB_drift 3 300 0" "0dB_drift 0 300 0" "-3dB_drift -3 300 0" "-6dB_drift -6 300 0" "-10dB_drift -10 300 0"
    "+6dB_fading 6 0 10" "+3dB_fading 3 0 10" "0dB_fading 0 0 10" "-3dB_fading -3 0 10"
)

# The channel model (48 kHz stereo, see the README): name, file type, cwgen options. The tone
# starts anywhere in 300-2700 Hz; Doppler rows are centred on the pass's closest approach.
channel_conditions=(
    "0dB_ch flac --snr 0"
    "-6dB_ch flac --snr -6"
    "-8dB_ch flac --snr -8"
    "0dB_Doppler_150Hz/s flac --snr 0 --doppler-mhz 435 --max-elevation 90 --centre-on-closest --keep-band 400:2600"
    "-6dB_Doppler_30Hz/s flac --snr -6 --doppler-mhz 145.8 --max-elevation 30 --centre-on-closest --keep-band 400:2600"
    "0dB_retuning wav --snr 0 --doppler-mhz 435 --max-elevation 60 --centre-on-closest --correction-error 2 --retune 12"
    "0dB_station_equal_150Hz flac --snr 0 --other-offset 150 --other-db 0"
    "0dB_station_+6dB_300Hz flac --snr 0 --other-offset -300 --other-db 6"
    "0dB_receiver_OGG ogg --snr 0 --receiver"
    "0dB_receiver_MP3 mp3 --snr 0 --receiver"
    "0dB_impulses flac --snr 0 --impulses 1"
    "+6dB_spin_20dB flac --snr 6 --spin-null 20"
    "0dB_spin_20dB flac --snr 0 --spin-null 20"
)

# plain_recording FILE SEED COUNT WPM SNR DRIFT FADE: drift alternates in sign; the tone starts where
# the drift keeps it inside 300..1500 Hz.
plain_recording() {
    local f=$1 s=$2 count=$3 wpm=$4 snr=$5 drift=$6 fade=$7
    local d=$drift start=$((500 + (s * 97) % 500))
    if [ "$drift" != 0 ] && [ $((s % 2)) -eq 0 ]; then
        d=-$drift
        start=$((start + 300))
    fi
    "$gen" --out "$f" --truth "$f.txt" --seed "$s" --count "$count" --wpm "$wpm" --snr "$snr" \
        --drift "$d" --fade "$fade" --start-hz "$start" $([ $((s % 3)) -eq 0 ] && echo --grouped)
}

# channel_recording FILE SEED COUNT WPM SOURCE OPTIONS...: the tone starts anywhere in 300-2700 Hz.
channel_recording() {
    local f=$1 s=$2 count=$3 wpm=$4 source=$5
    shift 5
    "$gen" --out "$f" --truth "$f.txt" --seed "$s" --count "$count" --wpm "$wpm" --keying "$source" \
        --start-hz $((300 + (s * 677) % 2400)) "$@" $([ $((s % 3)) -eq 0 ] && echo --grouped)
}

# pass_recording FILE SEED SOURCE: a whole pass as 48 kHz mono OGG, 500 km, 45 degrees, residual
# Doppler of a correction 1 s late, slow fading, SNR from the range and elevation (+12 dB at
# closest approach), beacons every 20-40 s.
pass_recording() {
    local f=$1 s=$2 source=$3
    "$gen" --out "$f" --truth "$f.txt" --seed "$s" --wpm $((16 + s % 9)) --keying "$source" --channels 1 \
        --snr 12 --whole-pass --doppler-mhz 435 --max-elevation 45 --correction-error 1 --slow-fade 3 \
        --pause 8:25 --start-hz $((600 + (s * 331) % 1400))
}

# noise_recording FILE SEED SECONDS: noise with another station's CW and static crashes through a
# receiver (16 kHz mono WAV), in which no beacon may be found.
noise_recording() {
    local f=$1 s=$2 seconds=$3
    "$gen" --out "$f" --seed "$s" --snr 0 --noise-seconds "$seconds" --rate 16000 \
        --channels 1 --other-offset 400 --other-db 6 --impulses 1 --receiver
    : >"$f.txt"
}
