// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon_finder.h"
#include "soft_beacon.h"

#include <array>

namespace cwaudio {

// Where the ticks behind a beacon may mislead.
struct TickDoubts
{
    // The tone jumped at or beside position p: its marks are no witness there.
    std::array<bool, beaconLength> jumped {};
    std::array<bool, beaconLength> toneLost {}; // the filter may have been off the tone at position p
    bool faint = false; // near the SNR floor: the keying loses whole dots without a trace
    // Close to it: the marks that set the key-down level were found where the noise lifted them.
    bool nearFloor = false;
};

// Whether a beacon the marks read as `marks` and the ticks as `measured` is reported (as read):
// when the marks were sure and the ticks agree (and are sure of the characters where the tone
// jumped), or, where the marks were unsure, when the ticks are sure of every character among what
// its position may hold and no letter or digit the position cannot hold is overwhelmingly
// likelier; when faint, only when the ticks are surer still; ten times surer of a character the
// marks read otherwise; near the floor, where the marks were unsure, as sure at a lower key-down
// level too; in a fade, surer where the marks are unsure. Marks that needed more repairs than one
// lost dot count only in a beacon read through fades, every character then standing on its own.
// Never when two sure readings differ (save where a null may have cut a dash into the marks' two
// dots, where the ticks decide), nor for a character the ticks read alone where the tone may have
// been lost or as what a null may have left of the marks' character, nor, in a beacon read through
// fades, where a character holds only at the level drawn across the nulls.
bool acceptReading(const FoundBeacon& marks, const SoftBeacon& measured, const TickDoubts& doubts);

} // namespace cwaudio
