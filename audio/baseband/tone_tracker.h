// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "drift_bank.h"
#include "drift_fit.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cwaudio {

// Finds the CW tone anywhere in the band and follows it as Doppler moves it (up to 200 Hz/s) and
// as a listener retunes (a jump), reading the peaks of a drift bank it may share with other
// trackers (each with its own band, tone to avoid and history).
class ToneTracker
{
public:
    explicit ToneTracker(const DriftBank& bank);

    // A new estimate from the bank's newest frame: call each time the bank has added one.
    void update();

    // Searches only within about +-100 Hz of `hz` (drift followed inside it) until cleared.
    void setHint(double hz);
    void clearHint();
    // Leaves the tone near `hz` (another lane follows it) out of the search.
    void avoid(double hz);

    // The tone at the newest estimate, in Hz, and how fast it moves.
    double frequency() const { return m_frequency; }
    double rateHzPerSecond() const { return m_rate; }
    // The tone at input sample `sample` (counted from the first pushed), at most lagSamples() back:
    // the estimates made as it went by, those since a jump replaced by the new tone, and where it
    // moves, the path through them (what the filter follows).
    struct ToneAt
    {
        double estimated = 0.0;
        double followed = 0.0;
    };
    ToneAt toneAt(std::int64_t sample) const;
    bool locked() const { return m_locked; }
    // Whether the tone was locked and keyed at the newest estimate (its short average well over
    // the floor).
    bool keyed() const { return m_keyed; }
    // Whether the estimate jumped to another tone within the last `seconds`.
    bool jumpedWithin(double seconds) const
    {
        return m_jumpAt >= 0 && static_cast<double>(m_bank.samples() - m_jumpAt) < seconds * m_sampleRate;
    }
    // Whether the newest estimate found a jump (dated at jumpAt()), not yet redated.
    bool jumpJustSeen() const { return m_jumpJustSeen; }
    std::int64_t jumpAt() const { return m_jumpAt; }
    // The input sample the newest estimate stood for when the last jump was seen.
    std::int64_t jumpSeenAt() const { return m_jumpSeen; }
    // The tone at `sample` on either side of that jump, each side followed along its own drift.
    double toneBeside(std::int64_t sample, bool after) const;
    // Dates that jump at input sample `to` instead (within the lag, not after the newest estimate).
    void redateJump(std::int64_t to);
    // Whether, keyed over input samples [first, last] (the short average shows it a moment later),
    // a tone came up away from the one followed, not far under that one's strength over
    // [first - before, first], and with nothing near it there (the tone followed then included:
    // after a jump the old tone fades from the averages): the keying a retuning carried elsewhere.
    // False where the estimates no longer reach back that far.
    bool toneCameUpElsewhere(std::int64_t first, std::int64_t last, std::int64_t before) const;
    // Variance per sample of the noise near the tone at input sample `sample` (at most lagSamples()
    // back), read from the spectrum beside it, where the keying does not reach, once the average
    // has taken in that sample.
    double noiseVarianceAt(std::int64_t sample) const;
    // Samples between estimates, and how far behind the input the signal path should run so that
    // the estimate for it has seen it and the second around it.
    int hop() const { return m_bank.hop(); }
    int lagSamples() const { return m_lag; }

private:
    // The estimates either side of a sample, and where the one before it sits in the ring.
    struct Estimate;
    struct Bracket
    {
        const Estimate* before = nullptr;
        const Estimate* after = nullptr;
        std::size_t beforeIndex = 0;
    };
    Bracket bracketOf(std::int64_t sample) const;
    double estimateFrom(const Bracket& b, std::int64_t sample) const;
    std::optional<double> pathAt(std::size_t before, std::int64_t sample) const;

    struct Estimate
    {
        double hz = 0.0;
        double rate = 0.0;
        std::int64_t at = -1; // input sample it describes
        std::int64_t jumpAt = -1; // a jump since the estimate before, and where
        double noise = 0.0;
        bool keyed = false; // the tone followed showed in it
        bool filled = false; // filled in back to a jump along the new tone's rate, not measured
    };
    // The short averages' strongest peak away from the tone followed, and the tone's own peak,
    // both over the floor, at each estimate; and the short averages' median over the band, over
    // the floor, where the peak may count as a tone come up (1 elsewhere).
    struct Elsewhere
    {
        std::int64_t at = -1; // input sample
        int bin = 0;
        float level = 0.0f;
        int ownBin = 0;
        float own = 0.0f;
        float band = 0.0f;
    };
    // Strongest bin of each average within [first, last] of the band searched, the avoided tone
    // left out; returns the rate index, sets `bin`.
    int peakIn(int first, int last, int& bin) const;
    double interpolate(int rateIndex, int bin) const;
    // The input sample where the tone followed so far gave way to the one at `newHz`.
    std::int64_t jumpOnset(double newHz, double newRate, float floor, std::int64_t now) const;

    const DriftBank& m_bank;
    double m_sampleRate;
    int m_hop;
    int m_lag;
    std::int64_t m_noiseLead; // the noise for a sample is read this far after it
    int m_bins;
    double m_binHz;
    int m_firstBin; // the band searched now
    int m_lastBin;
    int m_bandFirst; // the whole band
    int m_bandLast;
    int m_trackBins;
    int m_avoidBin = -1000;
    int m_avoidBins;
    bool m_locked = false;
    bool m_keyed = false;
    std::int64_t m_keyedAt = -1; // the last estimate the tone showed in
    int m_weakFrames = 0;
    double m_frequency = 800.0;
    double m_rate = 0.0;
    DriftFit m_drift; // the keyed estimates since the tone was found or last jumped
    std::vector<Estimate> m_history; // ring of the estimates over the last lag, oldest overwritten
    std::size_t m_historyNext = 0;
    std::vector<Elsewhere> m_elsewhere; // ring reaching further back than the lag
    std::size_t m_elsewhereNext = 0;
    std::int64_t m_jumpAt = -1; // where the last jump happened
    std::int64_t m_jumpSeen = -1; // ...and where it was seen
    double m_noiseVariance = 0.0;
    bool m_jumpJustSeen = false;
    Estimate m_beforeJump; // the last estimate of the tone before the newest jump
    Estimate m_afterJump; // the newest estimate
    std::vector<float> m_nearby;
};

} // namespace cwaudio
