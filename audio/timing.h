// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

namespace cwaudio {

// The keying speed as measured: the dot length and how much longer than sent every mark comes out
// of the threshold (and every gap shorter), both in envelope ticks.
struct Timing
{
    double dot = 0.0;
    double bias = 0.0;

    bool known() const { return dot > 0.0; }
};

// Splits the mark lengths into dots and dashes and derives the timing from both groups;
// returns `fallback` when the marks do not show two groups in a plausible ratio.
Timing estimateTiming(std::span<const double> marks, Timing fallback);

enum class MarkClass { Dot, Dash };
enum class GapClass { Element, Character, Word };

// Negative log-likelihoods, offset so the likeliest class costs 0 and capped, so that one wild
// element cannot outweigh a whole character.
double markCost(double length, const Timing& timing, MarkClass cls);
double gapCost(double length, const Timing& timing, GapClass cls);

// The likeliest class under `timing`.
MarkClass classifyMark(double length, const Timing& timing);
GapClass classifyGap(double length, const Timing& timing);

} // namespace cwaudio
