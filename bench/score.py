#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scores one decoded test recording against what cwgen sent.

usage: score.py TRUTH TEXT [BEACONS]
       score.py --above DB TRUTH BEACONS
TRUTH: cwgen's list (beacon, start[, SNR while sent]); TEXT: the raw decoded text; BEACONS: one
beacon per line (first word), or omitted to look for the sent beacons inside TEXT itself.
Prints: sent exact false errors reference_chars
With --above (whole passes): sent_above found_above sent found false
"""
import sys


def edit_distance(a, b):
    previous = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        current = [i]
        for j, cb in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ca != cb)))
        previous = current
    return previous[-1]


def squeeze(text):
    return "".join(text.upper().split())


def above(limit, truth, beacons):
    rows = [line.split() for line in open(truth) if line.strip()]
    found = [line.split()[0].upper() for line in open(beacons) if line.strip()]
    sent = [r[0] for r in rows]
    strong = [r[0] for r in rows if len(r) > 2 and float(r[2]) > limit]
    hits = [b for b in found if b in sent]
    print(len(strong), sum(1 for b in strong if b in found), len(sent), len(set(hits)), len(found) - len(hits))


def main():
    if sys.argv[1] == "--above":
        above(float(sys.argv[2]), sys.argv[3], sys.argv[4])
        return
    sent = [line.split()[0] for line in open(sys.argv[1]) if line.strip()]
    text = open(sys.argv[2], errors="replace").read()
    if len(sys.argv) > 3:
        found = [line.split()[0].upper() for line in open(sys.argv[3]) if line.strip()]
    else:
        # A tool without a beacon finder: a beacon counts when its 19 characters appear together.
        flat = squeeze(text)
        found = [b for b in sent if b in flat]
    remaining = list(sent)
    exact = false = 0
    for beacon in found:
        if beacon in remaining:
            remaining.remove(beacon)
            exact += 1
        else:
            false += 1
    reference = "".join(sent)
    errors = edit_distance(reference, squeeze(text))
    print(len(sent), exact, false, errors, len(reference))


if __name__ == "__main__":
    main()
