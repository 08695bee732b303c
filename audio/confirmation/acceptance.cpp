// SPDX-License-Identifier: GPL-3.0-or-later
#include "acceptance.h"

#include <algorithm>

namespace cwaudio {

namespace {

constexpr double minFramedConfidence = 0.9;
constexpr double minOpenConfidence = 0.02;
// A faint beacon's marks miss a dot exactly where its ticks do, so they vouch for nothing, and
// there a character read 0.9 likely is wrong about one time in ten.
constexpr double minFaintConfidence = 0.95;
// A character the ticks read otherwise than the marks must be ten times surer: read half a dot at a
// time, each piece with a phase of its own, the noise in one silent unit between two dots can pass
// for the middle of a dash, and a 6 came out as C at 0.988.
constexpr double overruleDoubt = 0.1;
// Two confident readings that differ settle nothing, unless the ticks' odds are overwhelming: near
// the floor a dip of the noise splits one of the marks' dashes into two dots, sure as timing goes,
// where the ticks weigh the dash whole.
constexpr double overwhelmingDoubt = 1e-6;
// From this many characters in a fade a beacon is read through fades.
constexpr long fadedCharacters = 3;

// Whether the ticks' character at `p` is sure enough over `floor`, surer where the marks read it
// otherwise.
bool ticksSure(const FoundBeacon& marks, const SoftBeacon& ticks, std::size_t p, double floor)
{
    // In a fade the ticks take a key-down level the null may have lowered (G read as F, 0.91, where
    // the marks were unsure): as near the floor, 0.9 is wrong there too often.
    if (ticks.inFade[p] && marks.confidence[p] < minFramedConfidence) {
        floor = std::max(floor, minFaintConfidence);
    }
    const double needed = ticks.text[p] == marks.text[p] ? floor : 1.0 - overruleDoubt * (1.0 - floor);
    return ticks.framed[p] >= needed && ticks.confidence[p] >= minOpenConfidence;
}

// Whether `holds(p)` for every position, one prefix letter excepted (see sureEnough).
template<typename Holds>
bool holdsSaveOnePrefixLetter(Holds holds)
{
    const auto prefixLength = static_cast<std::size_t>(beacon::framePrefix.size());
    int doubtfulPrefix = 0;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (!holds(p) && (p >= prefixLength || ++doubtfulPrefix > 1)) {
            return false;
        }
    }
    return true;
}

// Whether the ticks are sure of every character, one prefix letter excepted.
bool ticksSure(const FoundBeacon& marks, const SoftBeacon& ticks, double floor)
{
    return holdsSaveOnePrefixLetter([&](std::size_t p) { return ticksSure(marks, ticks, p, floor); });
}

} // namespace

bool acceptReading(const FoundBeacon& marks, const SoftBeacon& measured, const TickDoubts& doubts)
{
    const bool marksSure = sureEnough(marks, Acceptance {});
    // Where the marks do not vouch for the beacon the ticks stand alone: near the floor a character
    // must read the same, as surely, at a key-down level a little under the one measured.
    SoftBeacon ticks = measured;
    if (!marksSure && doubts.nearFloor) {
        for (std::size_t p = 0; p < beaconLength; ++p) {
            ticks.framed[p] = std::min(ticks.framed[p], ticks.framedLower[p]);
        }
    }
    // In a fade the null may lie deeper than the level drawn across it: a character whose reading
    // rests on that level is vouched for by nothing (the marks there come from the same fade).
    if (std::ranges::find(measured.restsOnLevel, true) != measured.restsOnLevel.end()) {
        return false;
    }
    // Where the filter may have been off the tone, a character the ticks read alone is a guess; so
    // is one a null may have left of the marks' character.
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if ((doubts.toneLost[p] || ticks.nulledOut[p]) && ticks.text[p] != marks.text[p]) {
            return false;
        }
    }
    // Two readings that agree but both doubt a character do not add up to a sure one: their doubt
    // comes from the same stretch of ticks (F read as C, 0.55 and 0.62, at -7.6 dB). Where the
    // ticks only guess, in a null, the marks are judged on their own below.
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (ticks.text[p] == marks.text[p] && marks.confidence[p] < minFramedConfidence &&
            ticks.framed[p] > guessConfidence && ticks.framed[p] < minFramedConfidence) {
            return false;
        }
    }
    // Two confident readings that differ settle nothing. Across a jump of the tone the marks are no
    // witness (a dash filtered partly off the tone comes out as two dots): the ticks must decide.
    // So are the marks where a null may have cut a dash into two dots: there the ticks decide.
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (marksSure && ticks.text[p] != marks.text[p] && !ticks.dashCut[p] &&
            ticks.framed[p] < 1.0 - overwhelmingDoubt) {
            return false;
        }
    }
    const double framedFloor = doubts.faint ? minFaintConfidence : minFramedConfidence;
    // Across a jump of the tone, or where a null may have cut a dash, only the ticks witness a
    // character; elsewhere the marks still do. One prefix letter may stay in doubt, as everywhere
    // (see sureEnough): the tone is often found only during a beacon's first letter.
    const auto marksWitness = [&](std::size_t p) { return !doubts.jumped[p] && !ticks.dashCut[p]; };
    const auto jumpsRead = [&] {
        return holdsSaveOnePrefixLetter(
            [&](std::size_t p) { return marksWitness(p) || ticksSure(marks, ticks, p, framedFloor); });
    };
    // Close to the floor both readings lose the same dot: a character the marks are not sure of must
    // hold in the ticks too, however sure the marks are of the rest (S read as I, 0.81 and 0.54; R
    // as A, 0.81 and 0.99 at the level measured, not at the lower one).
    const auto marksVouch = [&](std::size_t p) {
        return marks.confidence[p] >= minFramedConfidence || !doubts.nearFloor ||
            ticksSure(marks, ticks, p, minFramedConfidence);
    };
    const auto floorVouched = [&] {
        for (std::size_t p = 0; p < beaconLength; ++p) {
            if (!marksVouch(p)) {
                return false;
            }
        }
        return true;
    };
    // The last character has no next one to bound it: where its keying went on elsewhere (a
    // retuning close by, heard faintly through the filter), the marks read what leaks through as
    // its last elements, and nothing after them shows it. The ticks there must rest on more than
    // an element at the noise's level (a fade leaves the level low throughout, and may end a beacon).
    const bool lastHeld = !ticks.atNoiseLevel[beaconLength - 1];
    if ((marksSure && !doubts.faint && jumpsRead() && floorVouched() && lastHeld) ||
        ticksSure(marks, ticks, framedFloor)) {
        return true;
    }
    // Marks that fit the timing well, unsure of a few characters only (one lost in a fade): each of
    // those the ticks must be sure of, and every other one they must read as the marks did. Near
    // the floor the marks vouch for nothing.
    const Acceptance acceptance;
    // Read through fades, every null costs the marks a repair, so their summed cost no longer tells
    // a beacon framed wrongly. Past it each character must stand on its own: the ticks sure of it,
    // or the marks sure of it and the ticks reading it alike, surely or not (at the bottom of a null
    // they only guess).
    const bool costly = marks.cost > acceptance.maxTotalCost;
    if (doubts.faint || !lastHeld || (costly && std::ranges::count(ticks.inFade, true) < fadedCharacters)) {
        return false;
    }
    const auto standsAlone = [&](std::size_t p) {
        const bool agreed = ticks.text[p] == marks.text[p];
        return (agreed || marks.confidence[p] < acceptance.minConfidence) &&
            (ticksSure(marks, ticks, p, minFramedConfidence) ||
                (agreed && marksWitness(p) && marks.confidence[p] >= minFramedConfidence));
    };
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const bool vouched = costly ? standsAlone(p)
            : marks.confidence[p] >= acceptance.minConfidence && marksWitness(p)
            ? ticks.text[p] == marks.text[p] && marksVouch(p)
            : ticksSure(marks, ticks, p, minFramedConfidence);
        if (!vouched) {
            return false;
        }
    }
    return true;
}

} // namespace cwaudio
