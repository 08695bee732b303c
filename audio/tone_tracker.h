// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fft.h"

#include <complex>
#include <vector>

namespace cwaudio {

// Finds the CW tone in an averaged power spectrum and follows it as it drifts.
class ToneTracker
{
public:
    explicit ToneTracker(double sampleRate);

    // Feeds one working-rate sample; returns true when a new estimate is ready.
    bool push(float sample);

    // Searches only within about +-100 Hz of `hz` (drift followed inside it) until cleared.
    void setHint(double hz);
    void clearHint();

    // The current tone estimate in Hz.
    double frequency() const { return m_frequency; }
    // Averaged peak power over the median of the search band, in dB.
    double peakOverFloorDb() const { return m_peakOverFloorDb; }
    bool locked() const { return m_locked; }
    // Variance per sample of the noise near the tone, read from the spectrum beside it, where the
    // keying does not reach.
    double noiseVariance() const { return m_noiseVariance; }
    // Samples between estimates and the mean lag of the estimate behind the newest sample.
    int hop() const { return m_hop; }
    int lagSamples() const { return m_lag; }

private:
    void analyse();
    int peakIn(int first, int last) const;

    double m_rate;
    Fft m_fft;
    int m_hop;
    int m_lag;
    std::vector<float> m_window;
    std::vector<float> m_frame; // ring of the last fft-size samples
    int m_frameFill = 0;
    int m_sinceAnalysis = 0;
    std::vector<std::complex<float>> m_buffer;
    std::vector<float> m_average;
    std::vector<float> m_scratch;
    float m_alpha;
    int m_firstBin; // the band searched now
    int m_lastBin;
    int m_bandFirst; // the whole band
    int m_bandLast;
    int m_trackBins;
    int m_frames = 0;
    bool m_locked = false;
    int m_weakFrames = 0;
    int m_lockedHops = 0;
    double m_frequency = 800.0;
    double m_peakOverFloorDb = 0.0;
    double m_windowEnergy = 0.0;
    double m_noiseVariance = 0.0;
    std::vector<float> m_nearby;
};

} // namespace cwaudio
