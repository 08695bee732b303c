// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keying.h"

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace cwsynth {

// A test signal: beacons keyed by a somewhat unsteady hand, on a drifting, fading tone in white
// noise. The signal-to-noise ratio is key-down tone power over the noise power in 2500 Hz.
struct SignalParams
{
    double sampleRate = 8000.0;
    double wpm = 18.0;
    double jitter = 0.1; // standard deviation of each element's length, as a share of it
    double snrDb = 20.0;
    bool noise = true;
    double startHz = 800.0;
    double driftHz = 0.0; // linear over the whole signal
    double fadeDb = 0.0; // peak to trough, sinusoidal around the nominal level
    double fadePeriodSeconds = 15.0;
    double amplitude = 0.08;
    double edgeSeconds = 0.005; // raised-cosine rise and fall
    double leadSeconds = 1.0; // silence before the first beacon
    double minPauseSeconds = 1.5; // silence between beacons, drawn from this range
    double maxPauseSeconds = 4.0;
    double tailSeconds = 1.5;
    std::uint64_t seed = 1;
};

// A beacon of random but valid-looking content: the prefix, level symbols, anything at 14.
std::string randomBeacon(std::mt19937_64& random);

// Renders the keyed `texts` (a space is a word space) block by block, so a long signal never has
// to be held in memory.
class Signal
{
public:
    Signal(const SignalParams& params, const std::vector<std::string>& texts);
    // Pure noise (or silence) of the given length.
    Signal(const SignalParams& params, double seconds);

    const std::vector<SentBeacon>& sent() const { return m_sent; }
    std::int64_t totalSamples() const { return m_total; }
    // Fills `out` with the next samples; returns how many were written (0 at the end).
    std::size_t render(std::span<float> out);
    // The whole signal at once, for short test signals.
    std::vector<float> renderAll();

private:
    SignalParams m_p;
    std::mt19937_64 m_random;
    std::normal_distribution<double> m_gauss;
    std::vector<Key> m_keys;
    std::vector<SentBeacon> m_sent;
    std::int64_t m_total = 0;
    std::int64_t m_pos = 0;
    std::size_t m_key = 0;
    double m_phase = 0.0;
    double m_fadePhase = 0.0;
    double m_noiseSigma = 0.0;
};

} // namespace cwsynth
