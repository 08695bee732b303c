#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# clang-format and clang-tidy over every C++ source the project tracks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --dev
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}" || { echo "error: run clang-format -i on the files above" >&2; exit 1; }
[ -f build/compile_commands.json ] || bash scripts/build.sh release
# Generated sources (moc, resources) are not ours to tidy.
mapfile -t units < <(git ls-files '*.cpp' | grep -v '^fuzz/')
run-clang-tidy-14 -quiet -p build "${units[@]/#/$PWD/}" >build/clang-tidy.log 2>&1 \
    || { grep -E 'error:|warning:' build/clang-tidy.log >&2; echo "error: clang-tidy found problems" >&2; exit 1; }
echo "==> clang-format and clang-tidy: clean"
