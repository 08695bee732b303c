#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws the application icon: a satellite above a row of Morse dots and dashes.
# Needs ImageMagick 6 (convert) and, for the macOS bundle icon, png2icns from icnsutils.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 128x128 xc:'#0b1a3c' \
    -fill '#ffffff' -draw 'point 12,14 point 30,40 point 108,12 point 118,56 point 20,70 point 96,30' \
    -fill '#cfd8ff' -draw 'circle 84,20 84,21 circle 14,42 14,43' \
    -stroke '#7fb0ff' -strokewidth 3 -fill none \
    -fill none -draw 'path "M 67.8,74.9 A 9,9 0 0,1 56.2,74.9 M 71,82.4 A 17,17 0 0,1 53,82.4"' \
    -stroke none \
    -draw 'translate 58,54 rotate -25
           fill "#2d6fd6" rectangle -52,-10 -18,10 rectangle 18,-10 52,10
           stroke "#0b1a3c" stroke-width 1 line -41,-10 -41,10 line -29,-10 -29,10 line -52,0 -18,0
           line 29,-10 29,10 line 41,-10 41,10 line 18,0 52,0 stroke none
           fill "#9aa4b5" rectangle -18,-2 -14,2 rectangle 14,-2 18,2
           fill "#e3b23c" rectangle -14,-14 14,14
           fill "#b8860b" rectangle -14,8 14,14
           stroke "#e6e6e6" stroke-width 2 line 0,-14 0,-26 stroke none
           fill "#e6e6e6" circle 0,-28 0,-24' \
    -fill '#ffd23f' \
    -draw 'roundrectangle 10,100 40,110 4,4 circle 52,105 52,110 roundrectangle 64,100 94,110 4,4 circle 106,105 106,110' \
    -alpha off -type TrueColor -define png:color-type=2 -define png:bit-depth=8 \
    tarnup-decoder.png
convert tarnup-decoder.png -alpha off -type TrueColor -define icon:auto-resize=128 tarnup-decoder.ico
if command -v png2icns >/dev/null; then
    png2icns tarnup-decoder.icns tarnup-decoder.png >/dev/null
fi
