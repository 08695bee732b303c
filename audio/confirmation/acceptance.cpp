// SPDX-License-Identifier: GPL-3.0-or-later
#include "acceptance.h"

namespace cwaudio {

namespace {

constexpr double minFramedConfidence = 0.9;
constexpr double minOpenConfidence = 0.02;

} // namespace

bool acceptReading(const FoundBeacon& marks, const SoftBeacon& ticks, const TickDoubts& doubts)
{
    // Where the filter may have been off the tone the ticks see keying but not its absence: a
    // character they read otherwise than the marks is a guess unless the marks were in doubt too,
    // and a letter or digit with more keying than the position may hold costs them nothing there.
    const Acceptance sure;
    std::array<double, beaconLength> open = ticks.confidence;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (!doubts.toneLost[p]) {
            continue;
        }
        if (ticks.text[p] != marks.text[p] && marks.confidence[p] >= sure.minConfidence) {
            return false;
        }
        open[p] = 1.0;
    }
    // Two confident readings that differ settle nothing. Across a jump of the tone the marks are no
    // witness (a dash filtered partly off the tone comes out as two dots): the ticks must decide.
    const bool marksSure = sureEnough(marks, sure);
    if (marksSure && ticks.text != marks.text) {
        return false;
    }
    return (marksSure && !doubts.jumped) ||
        (sureEnough(ticks.framed, minFramedConfidence) && sureEnough(open, minOpenConfidence));
}

} // namespace cwaudio
