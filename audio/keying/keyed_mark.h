// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cwaudio {

// One key-down and the key-up after it, in envelope ticks; `gap` is negative while still open.
struct KeyedMark
{
    double start = 0.0;
    double length = 0.0;
    double gap = -1.0;
    double gapPeak = 0.0; // highest envelope over the threshold in the gap
    double gapHead = 0.0; // ...in its first few dots
    double gapTail = 0.0; // ...in its last few dots
    double snrDb = 0.0; // the keying's SNR as the mark was decided
};

} // namespace cwaudio
