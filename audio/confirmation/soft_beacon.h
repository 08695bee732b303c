// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_finder.h"
#include "keyed_mark.h"
#include "tick_history.h"
#include "timing.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace cwaudio {

// How sure the ticks are of a character they only guess at (deep in a fade, or at the noise's level).
inline constexpr double guessConfidence = 0.5;

struct SoftBeacon
{
    std::string text;
    std::array<double, beaconLength> confidence {}; // against every letter and digit
    std::array<double, beaconLength> framed {}; // against what the position may hold
    // As `framed`, the least of it read at the measured key-down level and a little under it (a
    // guess where the two readings differ); read lower when asked and the marks are unsure, and
    // where a character lies in a fade.
    std::array<double, beaconLength> framedLower {};
    // Where the ticks' sureness of the character rests on an element at the noise's level (then
    // they only guess, and the marks must bear it out).
    std::array<bool, beaconLength> atNoiseLevel {};
    // Where the marks read two dots an element space apart, one of them in a fade, and the position
    // may hold a dash in their place: a null may have cut it in two, and the marks are no witness.
    std::array<bool, beaconLength> dashCut {};
    // Where the ticks read what a null may leave of the marks' character, all of it keyed, in a fade
    // (a whole dash only where its own mark lies in the fade): the ticks' silence at the bottom of
    // a null says nothing, so it cannot overrule the marks.
    std::array<bool, beaconLength> nulledOut {};
    // Where a mark of the character lies in a fade (6 dB under the characters' level).
    std::array<bool, beaconLength> inFade {};
    // Where, in a beacon read through fades, a character is no more than a guess read a little
    // lower: its reading rests on the level drawn across the nulls, which may lie deeper.
    std::array<bool, beaconLength> restsOnLevel {};
    // Whether the quiet that ends a beacon is heard: where the ticks end it later than the marks
    // (the marks lost its last dot, and took the space it left for the pause), the ticks must reach
    // as far past their own end as the quiet after a beacon is looked for; until then nothing says
    // the text stops there.
    bool quietAfterHeard = false;
};

// Where the keyed marks sit among the baseband ticks: a mark is decided on a filter that ends
// at its tick, `filterLength` ticks long.
struct TickScale
{
    double filterLength = 1.0;
    double tickRate = 200.0; // ticks a second
};

// The ticks at which a mark's keying began and ended.
double keyedStart(const KeyedMark& mark, TickScale scale);
double keyedEnd(const KeyedMark& mark, TickScale scale);
// How many ticks past the end of its last mark a beacon's reading looks at.
double ticksReadAfter(const Timing& timing);

// Reads again, from the ticks, each character of a beacon the marks were split into: every
// position gets the likeliest symbol it may hold, with its chance against every letter and digit.
// Empty when the ticks behind the beacon are no longer held. `readLower` asks for `framedLower`.
std::optional<SoftBeacon> rereadBeacon(const TickHistory& ticks, double noise, TickScale scale,
    const Timing& timing, std::span<const KeyedMark> marks, const FoundBeacon& found, bool readLower = false);

} // namespace cwaudio
