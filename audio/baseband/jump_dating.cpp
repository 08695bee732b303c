// SPDX-License-Identifier: GPL-3.0-or-later
#include "jump_dating.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace cwaudio {

namespace {

// The date is moved, and taken as sure, only when the keying either side puts this much power
// (in blocks of noise) on its own side: a dot at 25 WPM brings about 120 at 0 dB, noise alone
// wanders about half that far over a second and a half.
constexpr double enoughNoiseBlocks = 60.0;
// Over two filter blocks each side's filter shuts out the other tone 100 Hz away and more, as one
// block cannot. A tone keyed half the time stands over twice the noise there even at -6 dB; the
// noise alone averages once, and a strong tone's edges leak a little beside it.
constexpr double leakNoise = 2.0;
constexpr double leakShare = 0.1;
// The phase either side is read over this many blocks, where the tone stands this far over the
// noise in each (in power per block).
constexpr int phaseBlocks = 4;
constexpr double phaseKeyedNoise = 4.0;

} // namespace

std::complex<double> mixedDown(const SampleRing& samples, std::int64_t from, std::int64_t count, double hz,
    double sampleRate, std::int64_t zero)
{
    const double angle = -2.0 * std::numbers::pi * hz / sampleRate;
    const std::complex<double> step { std::cos(angle), std::sin(angle) };
    std::complex<double> oscillator = std::polar(1.0, angle * static_cast<double>(from - zero));
    std::complex<double> sum { 0.0, 0.0 };
    for (std::int64_t k = 0; k < count; ++k) {
        sum += static_cast<double>(samples.at(from + k)) * oscillator;
        oscillator *= step;
    }
    return sum;
}

DatedJump dateJump(const JumpAround& a)
{
    const std::int64_t block = a.block;
    const double noise = a.noiseVariance * static_cast<double>(block);
    DatedJump result;
    result.at = a.dated;
    if (a.last - a.first < 4 * block || noise <= 0.0) {
        return result;
    }
    const auto mixed = [&](std::int64_t from, std::int64_t count, bool after) {
        const double hz = (after ? a.newHz : a.oldHz)(from + count / 2);
        return std::norm(mixedDown(a.samples, from, count, hz, a.sampleRate, from));
    };
    // Old-side power minus new-side power summed up to each block start; and, two blocks at a
    // time, each side's own.
    std::vector<double> balance { 0.0 };
    std::vector<double> oldPower { 0.0 };
    std::vector<double> newPower { 0.0 };
    for (std::int64_t from = a.first; from + block <= a.last; from += block) {
        balance.push_back(balance.back() + mixed(from, block, false) - mixed(from, block, true));
        const bool pair = from + 2 * block <= a.last;
        oldPower.push_back(oldPower.back() + (pair ? mixed(from, 2 * block, false) / (2 * noise) : 0.0));
        newPower.push_back(newPower.back() + (pair ? mixed(from, 2 * block, true) / (2 * noise) : 0.0));
    }
    const std::size_t blocks = balance.size() - 1;
    const std::size_t pairs = blocks - 1;
    const double enough = enoughNoiseBlocks * noise;
    const auto keyedBefore = [&](std::size_t j) {
        return balance[j] -
            *std::min_element(balance.begin(), balance.begin() + static_cast<std::ptrdiff_t>(j) + 1);
    };
    const auto keyedAfter = [&](std::size_t j) {
        return balance[j] -
            *std::min_element(balance.begin() + static_cast<std::ptrdiff_t>(j), balance.end());
    };
    // A retuning leaves no tone behind: a change of station does, and there the balance dates
    // where the other station began, not where the first ended.
    const auto retuned = [&](std::size_t j) {
        const auto mean = [&](const std::vector<double>& power, std::size_t from, std::size_t to) {
            return to > from ? (power[to] - power[from]) / static_cast<double>(to - from) : 0.0;
        };
        const std::size_t before = j >= 1 ? j - 1 : 0; // the pairs that end by block j
        return mean(newPower, 0, before) <
            leakNoise + leakShare * mean(newPower, std::min(j, pairs), pairs) &&
            mean(oldPower, std::min(j, pairs), pairs) < leakNoise + leakShare * mean(oldPower, 0, before);
    };
    const auto shown = [&](std::size_t j) {
        return keyedBefore(j) > enough && keyedAfter(j) > enough && retuned(j);
    };

    const auto best =
        static_cast<std::size_t>(std::max_element(balance.begin(), balance.end()) - balance.begin());
    const auto asked = static_cast<std::size_t>(std::clamp<std::int64_t>(
        (a.dated - a.first + block - 1) / block, 0, static_cast<std::int64_t>(blocks)));
    // Where the new tone is keyed from the first block on and the old one nowhere after it, the
    // jump came before: the first block is nearer than the spectrum's date.
    const bool before = best == 0 && keyedAfter(0) > enough && retuned(0);
    result.moved = best != asked && balance[best] - balance[asked] > enough && (shown(best) || before);
    const std::size_t chosen = result.moved ? best : asked;
    if (result.moved) {
        result.at = a.first + static_cast<std::int64_t>(chosen) * block;
    }
    result.sure = a.sharp && shown(chosen);

    // The signal's phase need not run on through a retuning, and the filter's oscillator does.
    const std::int64_t at = a.first + static_cast<std::int64_t>(chosen) * block;
    const std::int64_t span = phaseBlocks * block;
    if (at - span >= a.first && at + span <= a.last) {
        const auto before = mixedDown(a.samples, at - span, span, a.oldHz(at), a.sampleRate, at);
        const auto after = mixedDown(a.samples, at, span, a.newHz(at), a.sampleRate, at);
        const double keyed = phaseKeyedNoise * noise * phaseBlocks;
        if (std::norm(before) > keyed && std::norm(after) > keyed) {
            result.turn = before * std::conj(after) / (std::abs(before) * std::abs(after));
        }
    }
    return result;
}

} // namespace cwaudio
