// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fft.h"

#include <complex>
#include <cstdint>
#include <vector>

namespace cwaudio {

// Finds the CW tone anywhere in the band and follows it as Doppler moves it (up to 200 Hz/s) and
// as a listener retunes (a jump). The spectrum is averaged in a bank of frames that each slide at
// one drift rate, so a drifting tone stays sharp in the one whose rate matches it.
class ToneTracker
{
public:
    explicit ToneTracker(double sampleRate);

    // Feeds one working-rate sample; returns true when a new estimate is ready.
    bool push(float sample);

    // Searches only within about +-100 Hz of `hz` (drift followed inside it) until cleared.
    void setHint(double hz);
    void clearHint();
    // Leaves the tone near `hz` (another lane follows it) out of the search.
    void avoid(double hz);

    // The tone at the newest estimate, in Hz, and how fast it moves.
    double frequency() const { return m_frequency; }
    double rateHzPerSecond() const { return m_rate; }
    // The tone at input sample `sample` (counted from the first pushed), at most lagSamples() back:
    // the estimates made as it went by, those since a jump replaced by the new tone.
    double frequencyAt(std::int64_t sample) const;
    bool locked() const { return m_locked; }
    // Whether the estimate jumped to another tone within the last `seconds`.
    bool jumpedWithin(double seconds) const
    {
        return m_jumpAt >= 0 && static_cast<double>(m_samples - m_jumpAt) < seconds * m_sampleRate;
    }
    // Variance per sample of the noise near the tone, read from the spectrum beside it, where the
    // keying does not reach.
    double noiseVariance() const { return m_noiseVariance; }
    // Samples between estimates, and how far behind the input the signal path should run so that
    // the estimate for it has seen it and the second around it.
    int hop() const { return m_hop; }
    int lagSamples() const { return m_lag; }

private:
    struct Estimate
    {
        double hz;
        double rate;
        std::int64_t at; // input sample it describes
    };
    void analyse();
    float slow(int rateIndex, int bin) const;
    // Strongest bin of each average within [first, last]; returns the rate index, sets `bin`.
    int peakIn(int first, int last, int& bin) const;
    double interpolate(int rateIndex, int bin) const;
    // The input sample where the tone left `oldBin`: after the last recent frame that held it.
    std::int64_t jumpOnset(int oldBin, float floor, std::int64_t now) const;

    double m_sampleRate;
    Fft m_fft;
    int m_hop;
    int m_lag;
    int m_bins;
    double m_binHz;
    std::vector<float> m_window;
    std::vector<float> m_frame; // ring of the last fft-size samples
    int m_frameFill = 0;
    int m_sinceAnalysis = 0;
    std::int64_t m_samples = 0;
    std::vector<std::complex<float>> m_buffer;
    std::vector<float> m_power;
    std::vector<double> m_rates; // Hz/s of each sliding average
    std::vector<std::vector<float>> m_slow; // per rate, circular, logical bin k at (k - offset)
    std::vector<double> m_offset; // per rate, bins slid so far
    std::vector<int> m_shift; // ...rounded
    std::vector<float> m_fast; // a short plain average, to see a jump soon
    std::vector<std::vector<float>> m_recent; // ring of the last frames' power, to date a jump
    std::size_t m_recentNext = 0;
    std::vector<float> m_scratch;
    float m_slowAlpha;
    float m_fastAlpha;
    int m_firstBin; // the band searched now
    int m_lastBin;
    int m_bandFirst; // the whole band
    int m_bandLast;
    int m_trackBins;
    int m_avoidBin = -1000;
    int m_avoidBins;
    int m_frames = 0;
    bool m_locked = false;
    int m_weakFrames = 0;
    double m_frequency = 800.0;
    double m_rate = 0.0;
    std::vector<Estimate> m_history; // ring of the estimates over the last lag, oldest overwritten
    std::size_t m_historyNext = 0;
    std::int64_t m_jumpAt = -1; // where the last jump happened
    std::int64_t m_jumpSeen = -1; // ...and where it was seen
    double m_windowEnergy = 0.0;
    double m_noiseVariance = 0.0;
    std::vector<float> m_nearby;
};

} // namespace cwaudio
