// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_frame.h"

#include "keyed_mark.h"
#include "timing.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cwaudio {

inline constexpr auto beaconLength = static_cast<std::size_t>(beacon::frameLength);

struct FoundBeacon
{
    std::string text;
    std::array<double, beaconLength> confidence {};
    std::size_t firstMark = 0; // index into the marks searched
    Timing timing;
    double cost = 0.0; // summed log-likelihood penalty of the chosen reading
    // Marks [boundary[p], boundary[p + 1]) of the searched span were read as character p.
    std::array<std::size_t, beaconLength + 1> boundary {};
    // Marks whose gap was read as inside a character although the timing makes it a character
    // space or longer, more surely than a dot is lost, between two whole elements: what was sent
    // there may be two characters.
    std::vector<std::size_t> merged;
    // Marks read as a dot whose gap was read as holding another dot, lost: in a fade the two may
    // be one dash whose end faded away.
    std::vector<std::size_t> dotLostAfter;
};

// How sure the search must be before it reports a beacon.
struct Acceptance
{
    double maxTotalCost = 5.5; // a dot lost without a trace, and a little more
    double minConfidence = 0.4; // per character, one prefix letter excepted
};

// Whether every character is at least `floor` likely, one prefix letter excepted.
bool sureEnough(const std::array<double, beaconLength>& confidence, double floor);
// Whether `found` would pass `acceptance`.
bool sureEnough(const FoundBeacon& found, const Acceptance& acceptance);

// What position `position` of a beacon may hold, as sent.
std::string_view beaconSymbolsAt(std::size_t position);

// Looks for a beacon whose last character ends with the last of `marks`, whose gap (or `endGap`
// when that gap is still open) must be at least a word space. Every position may only hold what a
// beacon can carry there, so a doubtful element is settled by the frame; but the reading is only
// accepted when its total penalty and every character's likelihood on its own pass `acceptance`.
std::optional<FoundBeacon> findBeacon(std::span<const KeyedMark> marks, double endGap, Timing fallback,
    const SpeedRange& range, const Acceptance& acceptance = {});

} // namespace cwaudio
