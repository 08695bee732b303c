// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fft.h"

#include <cstdint>
#include <span>
#include <vector>

namespace cwaudio {

// The spectrum of the working-rate signal, one frame per hop, and its averages: over a second in a
// bank of averages that each slide at one drift rate (-200..+200 Hz/s), so a tone moving with
// Doppler stays sharp in the one whose rate matches it, and over a quarter second unmoved, to see
// a jump soon. Computed once for every tone tracker that reads it.
class DriftBank
{
public:
    explicit DriftBank(double sampleRate);

    // Feeds one working-rate sample; returns true when a new frame has been added.
    bool push(float sample);
    // Feeds `samples` up to the first that completes a frame (all of them if none does); returns
    // how many it took and sets `frame` to whether they completed one.
    std::size_t push(std::span<const float> samples, bool& frame);

    double sampleRate() const { return m_sampleRate; }
    int fftSize() const { return m_fft.size(); }
    int hop() const { return m_hop; }
    int bins() const { return m_bins; }
    double binHz() const { return m_binHz; }
    double averageSeconds() const;
    // How late after it a tone's jump may show in the averages; recent() reaches that far back.
    double jumpSeenWithin() const;
    double rateStep() const;
    double windowEnergy() const { return m_windowEnergy; }
    // Samples pushed so far.
    std::int64_t samples() const { return m_samples; }

    int rateCount() const { return static_cast<int>(m_rates.size()); }
    double rate(int rateIndex) const { return m_rates[static_cast<std::size_t>(rateIndex)]; }
    // The average that does not slide.
    int stillRate() const { return rateCount() / 2; }
    float slow(int rateIndex, int bin) const;
    // Appends the values of average `rateIndex` at bins [first, last] (within [0, bins)) to `out`.
    void appendSlow(int rateIndex, int first, int last, std::vector<float>& out) const;
    // The median of the average that does not slide over bins [first, last], worked out once a
    // frame for every tracker that asks.
    float stillMedian(int first, int last) const;
    // The same of the short average (a static crash lifts every bin of it at once).
    float fastMedian(int first, int last) const;
    float fast(int bin) const { return m_fast[static_cast<std::size_t>(bin)]; }
    // Strongest bin of all averages within [first, last], bins in [avoidFirst, avoidLast] left
    // out; returns the rate index (the still one when nothing qualifies) and sets `bin` (`first`
    // then).
    int peakIn(int first, int last, int avoidFirst, int avoidLast, int& bin) const;
    // A frame's power, `back` frames before the newest (0); recentFrames() of them are kept,
    // back as far as jumpSeenWithin().
    const std::vector<float>& recent(std::size_t back) const;
    std::size_t recentFrames() const { return m_recent.size(); }

private:
    void analyse();

    double m_sampleRate;
    Fft m_fft;
    int m_hop;
    int m_bins;
    double m_binHz;
    std::vector<float> m_window;
    std::vector<float> m_frame; // ring of the last fft-size samples
    int m_frameFill = 0;
    int m_sinceAnalysis = 0;
    std::int64_t m_samples = 0;
    std::vector<float> m_windowed;
    std::vector<float> m_power;
    std::vector<double> m_rates; // Hz/s of each sliding average
    std::vector<std::vector<float>> m_slow; // per rate, circular, logical bin k at (k - shift)
    std::vector<double> m_offset; // per rate, bins slid so far
    std::vector<int> m_shift; // ...rounded, modulo the bins
    std::vector<float> m_fast;
    std::vector<float> m_strongest; // per bin, the highest of all averages there
    std::vector<std::vector<float>> m_recent; // ring of the last frames' power
    std::size_t m_recentNext = 0;
    float m_slowAlpha;
    float m_fastAlpha;
    int m_frames = 0;
    struct Median
    {
        int frames = -1;
        int first = 0;
        int last = -1;
        float value = 0.0f;
    };
    mutable Median m_median;
    mutable Median m_fastMedian;
    mutable std::vector<float> m_medianScratch;
    mutable std::vector<float> m_nearMedian;
    double m_windowEnergy = 0.0;
};

} // namespace cwaudio
