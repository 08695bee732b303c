#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up as a person sees it: from launching tarnup-decoder to its window mapped on an X
# display (a private Xvfb), repeated; prints the median. Usage: bench/window-startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}

missing=()
for tool in Xvfb:xvfb xdotool:xdotool; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
bash scripts/build.sh release >/dev/null

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "${runtime:-}"' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
runtime=$(mktemp -d)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$runtime}

samples=()
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    build/window/tarnup-decoder &
    app=$!
    # xdotool's own --sync waits in half-second steps; poll finer than that.
    until xdotool search --onlyvisible --name "TARNU-PII CW Telemetry Decoder" >/dev/null 2>&1; do
        sleep 0.005
    done
    samples+=($(( ($(date +%s%N) - start) / 1000000 )))
    kill "$app"
    wait "$app" 2>/dev/null || true
done
sorted=($(printf '%s\n' "${samples[@]}" | sort -n))
echo "start-up to window shown: median ${sorted[$((runs / 2))]} ms over $runs runs (min ${sorted[0]}, max ${sorted[-1]})"
