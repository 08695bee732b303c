// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fade_envelope.h"
#include "sorted_window.h"

#include <complex>
#include <optional>
#include <vector>

namespace cwaudio {

// One stretch of key-down (mark) or key-up (space), in envelope ticks.
struct KeyRun
{
    bool mark = false;
    double start = 0.0;
    double length = 0.0;
    // Highest envelope over the threshold inside the run, away from the ramps of the marks around
    // it: a space holding a dot too weak to key comes close to 1 (or over it, for a dot the
    // glitch filter removed).
    double peak = 0.0;
    // The same over the first and over the last few dots of the run only: where a dot lost at the
    // end of the character before, or at the start of the one after, would have been.
    double head = 0.0;
    double tail = 0.0;
};

// Turns baseband ticks into debounced marks and spaces. The envelope comes from a filter matched to
// a dot; the threshold sits halfway between the noise and mark levels, both read from a window
// centred on the decision, so it suits any recording level and is already right at the first
// character after a silence. Where the keying around the decision has faded below that level, the
// threshold follows it down (see FadeEnvelope), never so far that the noise would key; a mark holds
// until it falls well below the threshold it rose through.
class KeyingDetector
{
public:
    explicit KeyingDetector(double tickRate);

    // Matched-filter length follows the dot; `dotTicks` is the current estimate.
    void setDotTicks(double dotTicks);

    // Noise variance per input sample, and how many input samples make one tick.
    void setNoise(double variance, int samplesPerTick);

    // Feeds one baseband tick; returns the run that became final, if any.
    std::optional<KeyRun> push(std::complex<float> tick);
    // Decides the rest and closes the run in progress (end of input).
    std::vector<KeyRun> flush();

    // Ticks the matched filter spans now.
    int filterLength() const { return m_length; }
    // The space in progress, in ticks (0 during a mark), and the run it makes so far.
    double openSpace() const { return m_state ? 0.0 : m_runLength; }
    KeyRun openSpaceRun() const { return closedRun(0); }
    // Mark over noise power in 2500 Hz, in dB, from the current levels.
    double snrDb() const;

private:
    struct Level
    {
        double mark = 0.0;
        bool present = false;
    };
    // Two-means mark level of the window.
    Level markLevel();
    void updateLevels();
    // Feeds the envelope the amplitude of the tick held at `position` of the ring.
    void pushEnvelope(float amplitude, int position);
    double threshold() const;
    struct Threshold
    {
        double rise = 0.0; // 0: nothing keys
        double hold = 1.0; // share of `rise` a mark in progress keeps going down to
    };
    // The threshold for a tick whose keying around it reaches `envelope`.
    Threshold decisionThreshold(double envelope) const;
    std::optional<KeyRun> decide(float amplitude, Threshold threshold);
    // The run in progress, ending `skip` decided ticks back.
    KeyRun closedRun(int skip) const;

    double m_tickRate;
    int m_length = 8;
    std::vector<std::complex<float>> m_ticks; // ring for the matched filter
    int m_tickPos = 0;
    std::vector<float> m_amplitudes; // ring: the level window, decisions lag by m_lookahead
    int m_ampPos = 0;
    int m_ampFill = 0;
    int m_lookahead;
    std::vector<float> m_envelopes; // ring, beside m_amplitudes
    FadeEnvelope m_fade;
    std::vector<float> m_scratch;
    // The amplitude ring kept sorted from one markLevel() call to the next, and where it stood then.
    struct LevelWindow
    {
        SortedWindow values;
        int ampPos = 0;
        int ampFill = 0;
    };
    LevelWindow m_levelWindow;
    int m_sinceLevels = 0;
    double m_noise = 0.0;
    double m_noiseVariance = -1.0;
    int m_samplesPerTick = 1;
    double m_mark = 0.0;
    double m_holdDecay;
    bool m_signal = false;
    bool m_present = false;

    bool m_state = false;
    double m_runLength = 0.0;
    double m_runStart = 0.0;
    std::vector<float> m_levels; // ring: the last decided levels
    int m_levelPos = 0;
    double m_edgeTicks = 0.0;
    std::optional<KeyRun> m_pending;
    double m_tick = 0.0;
    double m_minRun = 2.0;
};

} // namespace cwaudio
