// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keyed_mark.h"

#include <span>

namespace cwaudio {

// The keying speed as measured: the dot length and how much longer than sent every mark comes out
// of the threshold (and every gap shorter), both in envelope ticks.
struct Timing
{
    double dot = 0.0;
    double bias = 0.0;
    // Spread of log element lengths around their nominal units: hand jitter plus noise.
    double markSpread = 0.28;
    double gapSpread = 0.32;

    bool known() const { return dot > 0.0; }
};

// The dot lengths (ticks) a sender may use: hand keying from about 8 to 35 WPM.
struct SpeedRange
{
    double shortestDot;
    double longestDot;
};
SpeedRange speedRangeFor(double tickRate);

// Splits the mark lengths into dots and dashes; a dot and the gap inside a character are both one
// unit, so their means give the unit and the threshold's bias. Returns `fallback` when the marks do
// not show two groups in a plausible ratio, or a dot outside `range` (noise alone makes a fine pair
// of groups too, only far too short).
Timing estimateTiming(std::span<const KeyedMark> marks, Timing fallback, const SpeedRange& range);

enum class MarkClass { Dot, Dash };
enum class GapClass { Element, Character, Word };

// Negative log-likelihoods, offset so the likeliest class costs 0 and capped, so that one wild
// element cannot outweigh a whole character.
double markCost(double length, const Timing& timing, MarkClass cls);
double gapCost(double length, const Timing& timing, GapClass cls);

// The cost of a gap that spans `units` units (for a gap that swallowed a lost dot), on the
// same scale as gapCost and never below 0.
double gapCostUnits(double length, const Timing& timing, double units);

// The likeliest class under `timing`.
MarkClass classifyMark(double length, const Timing& timing);
GapClass classifyGap(double length, const Timing& timing);

} // namespace cwaudio
