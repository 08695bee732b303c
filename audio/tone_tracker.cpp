// SPDX-License-Identifier: GPL-3.0-or-later
#include "tone_tracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

// The tone is somewhere in 300..1500 Hz and may drift 300 Hz either way.
constexpr double lowestTone = 200.0;
constexpr double highestTone = 1900.0;
constexpr double averagingSeconds = 1.0;
constexpr double trackingHalfWidthHz = 30.0;
constexpr double acquireDb = 7.0;
constexpr double jumpDb = 6.0;
constexpr double maxDriftHzPerSecond = 15.0;
constexpr double settleSeconds = 3.0;
constexpr double loseSeconds = 3.0;
// The noise is read this far either side of the tone.
constexpr double noiseNearHz = 60.0;
constexpr double noiseFarHz = 400.0;
constexpr double hintHalfWidthHz = 100.0;

int fftSizeFor(double rate)
{
    int size = 256;
    while (rate / size > 8.0) {
        size *= 2;
    }
    return size;
}

} // namespace

ToneTracker::ToneTracker(double sampleRate)
    : m_rate(sampleRate)
    , m_fft(fftSizeFor(sampleRate))
    , m_hop(m_fft.size() / 2)
    , m_window(m_fft.size())
    , m_frame(m_fft.size(), 0.0f)
    , m_buffer(m_fft.size())
    , m_average(m_fft.size() / 2, 0.0f)
{
    const int n = m_fft.size();
    for (int i = 0; i < n; ++i) {
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / n));
        m_windowEnergy += static_cast<double>(m_window[i]) * m_window[i];
    }
    m_alpha = static_cast<float>(m_hop / (averagingSeconds * sampleRate));
    // Exponential averaging lags by its time constant, plus half a frame.
    m_lag = static_cast<int>(averagingSeconds * sampleRate) + n / 2;
    const double binHz = sampleRate / n;
    m_firstBin = std::max(1, static_cast<int>(lowestTone / binHz));
    m_lastBin = std::min(n / 2 - 2, static_cast<int>(highestTone / binHz) + 1);
    m_trackBins = std::max(2, static_cast<int>(std::lround(trackingHalfWidthHz / binHz)));
    m_bandFirst = m_firstBin;
    m_bandLast = m_lastBin;
    m_scratch.reserve(m_lastBin - m_firstBin + 1);
}

void ToneTracker::setHint(double hz)
{
    const double binHz = m_rate / m_fft.size();
    m_firstBin = std::clamp(static_cast<int>((hz - hintHalfWidthHz) / binHz), m_bandFirst, m_bandLast);
    m_lastBin = std::clamp(static_cast<int>((hz + hintHalfWidthHz) / binHz) + 1, m_firstBin, m_bandLast);
    // The listener pointed at a tone: go there now, not after the old one fades from the average.
    m_frequency = std::clamp(hz, m_firstBin * binHz, m_lastBin * binHz);
    m_locked = false;
    m_lockedHops = 0;
}

void ToneTracker::clearHint()
{
    m_firstBin = m_bandFirst;
    m_lastBin = m_bandLast;
}

bool ToneTracker::push(float sample)
{
    m_frame[m_frameFill] = sample;
    m_frameFill = (m_frameFill + 1) % m_fft.size();
    if (++m_sinceAnalysis < m_hop) {
        return false;
    }
    m_sinceAnalysis = 0;
    analyse();
    return true;
}

int ToneTracker::peakIn(int first, int last) const
{
    first = std::max(first, m_firstBin);
    last = std::min(last, m_lastBin);
    int best = first;
    for (int k = first + 1; k <= last; ++k) {
        if (m_average[k] > m_average[best]) {
            best = k;
        }
    }
    return best;
}

void ToneTracker::analyse()
{
    const int n = m_fft.size();
    for (int i = 0; i < n; ++i) {
        m_buffer[i] = { m_frame[(m_frameFill + i) % n] * m_window[i], 0.0f };
    }
    m_fft.transform(m_buffer);
    // Plain mean until the average has filled, so the first estimate is not held back.
    ++m_frames;
    const float alpha = std::max(m_alpha, 1.0f / static_cast<float>(m_frames));
    for (int k = 1; k < n / 2; ++k) {
        m_average[k] += alpha * (std::norm(m_buffer[k]) - m_average[k]);
    }

    m_scratch.assign(m_average.begin() + m_firstBin, m_average.begin() + m_lastBin + 1);
    auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>(m_scratch.size() / 2);
    std::nth_element(m_scratch.begin(), middle, m_scratch.end());
    const float floor = std::max(*middle, 1e-30f);

    const double binHz = m_rate / n;
    const int current = static_cast<int>(std::lround(m_frequency / binHz));
    const int global = peakIn(m_firstBin, m_lastBin);
    int peak = global;
    bool following = false;
    if (m_locked) {
        const int local = peakIn(current - m_trackBins, current + m_trackBins);
        const bool jump = 10 * std::log10(m_average[global] / std::max(m_average[local], 1e-30f)) > jumpDb;
        peak = jump ? global : local;
        m_lockedHops = jump ? 0 : m_lockedHops + 1;
        // Until the average has settled on the tone, the estimate goes where the spectrum says.
        following = !jump && m_lockedHops * m_hop > settleSeconds * m_rate;
    }
    m_peakOverFloorDb = 10 * std::log10(std::max(m_average[peak], 1e-30f) / floor);
    if (m_peakOverFloorDb >= acquireDb) {
        m_locked = true;
        m_weakFrames = 0;
    } else if (m_locked && ++m_weakFrames * m_hop > loseSeconds * m_rate) {
        m_locked = false;
        m_lockedHops = 0;
    }
    // Unlocked, the strongest bin is as good a guess as any; follow it.
    const double left = std::log(std::max(m_average[peak - 1], 1e-30f));
    const double centre = std::log(std::max(m_average[peak], 1e-30f));
    const double right = std::log(std::max(m_average[peak + 1], 1e-30f));
    const double curvature = left - 2 * centre + right;
    const double offset = curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
    const double estimate = (peak + offset) * binHz;
    // A noise peak near the tone can outweigh it for a moment; the tone itself drifts slowly, so
    // while following it the estimate moves no faster than a Doppler shift would.
    const double step = maxDriftHzPerSecond * m_hop / m_rate;
    m_frequency = following ? m_frequency + std::clamp(estimate - m_frequency, -step, step) : estimate;

    const int nearBins = static_cast<int>(noiseNearHz / binHz) + 1;
    const int farBins = static_cast<int>(noiseFarHz / binHz);
    m_nearby.clear();
    for (int k = std::max(1, peak - farBins); k <= std::min(n / 2 - 1, peak + farBins); ++k) {
        if (std::abs(k - peak) >= nearBins) {
            m_nearby.push_back(m_average[k]);
        }
    }
    if (!m_nearby.empty()) {
        auto mid = m_nearby.begin() + static_cast<std::ptrdiff_t>(m_nearby.size() / 2);
        std::nth_element(m_nearby.begin(), mid, m_nearby.end());
        m_noiseVariance = *mid / m_windowEnergy;
    }
}

} // namespace cwaudio
