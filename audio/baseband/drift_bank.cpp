// SPDX-License-Identifier: GPL-3.0-or-later
#include "drift_bank.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

// A low pass heard without Doppler correction moves the tone by up to about 170 Hz/s.
constexpr double maxRateHzPerSecond = 200.0;
constexpr double rateStepHzPerSecond = 20.0;
constexpr double slowSeconds = 1.0;
constexpr double fastSeconds = 0.25;

int fftSizeFor(double rate)
{
    int size = 256;
    while (rate / size > 8.0) {
        size *= 2;
    }
    return size;
}

// Calls `visit(k, at)` for the bins k in [first, last], `at` where bin k is stored in an average
// slid by `shift` (0 <= shift < bins): in two contiguous runs, so the loops stay simple.
template<typename Visit>
void forStored(int first, int last, int shift, int bins, Visit&& visit)
{
    const int wrapEnd = std::min(last, shift - 1); // these k are stored at k - shift + bins
    for (int k = first; k <= wrapEnd; ++k) {
        visit(k, k - shift + bins);
    }
    for (int k = std::max(first, shift); k <= last; ++k) {
        visit(k, k - shift);
    }
}

} // namespace

DriftBank::DriftBank(double sampleRate)
    : m_sampleRate(sampleRate)
    , m_fft(fftSizeFor(sampleRate))
    , m_hop(m_fft.size() / 2)
    , m_bins(m_fft.size() / 2)
    , m_binHz(sampleRate / m_fft.size())
    , m_window(m_fft.size())
    , m_frame(m_fft.size(), 0.0f)
    , m_windowed(m_fft.size())
    , m_power(m_fft.size() / 2, 0.0f)
    , m_fast(m_fft.size() / 2, 0.0f)
{
    const int n = m_fft.size();
    for (int i = 0; i < n; ++i) {
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / n));
        m_windowEnergy += static_cast<double>(m_window[i]) * m_window[i];
    }
    for (double r = -maxRateHzPerSecond; r <= maxRateHzPerSecond + 1e-9; r += rateStepHzPerSecond) {
        m_rates.push_back(r);
    }
    m_slow.assign(m_rates.size(), std::vector<float>(static_cast<std::size_t>(m_bins), 0.0f));
    m_offset.assign(m_rates.size(), 0.0);
    m_shift.assign(m_rates.size(), 0);
    m_slowAlpha = static_cast<float>(m_hop / (slowSeconds * sampleRate));
    m_fastAlpha = static_cast<float>(m_hop / (fastSeconds * sampleRate));
    // Frames kept to date a jump: as far back as the long average reaches.
    const auto framesInAverage = static_cast<std::size_t>((slowSeconds * sampleRate + n / 2) / m_hop);
    m_recent.assign(framesInAverage + 2, std::vector<float>(static_cast<std::size_t>(m_bins), 0.0f));
}

double DriftBank::averageSeconds() const
{
    return slowSeconds;
}

double DriftBank::rateStep() const
{
    return rateStepHzPerSecond;
}

bool DriftBank::push(float sample)
{
    m_frame[m_frameFill] = sample;
    m_frameFill = m_frameFill + 1 == m_fft.size() ? 0 : m_frameFill + 1;
    ++m_samples;
    if (++m_sinceAnalysis < m_hop) {
        return false;
    }
    m_sinceAnalysis = 0;
    analyse();
    return true;
}

float DriftBank::slow(int rateIndex, int bin) const
{
    const auto r = static_cast<std::size_t>(rateIndex);
    const int at = (bin - m_shift[r]) % m_bins;
    return m_slow[r][static_cast<std::size_t>(at < 0 ? at + m_bins : at)];
}

const std::vector<float>& DriftBank::recent(std::size_t back) const
{
    return m_recent[(m_recentNext + m_recent.size() - 1 - back) % m_recent.size()];
}

int DriftBank::peakIn(int first, int last, int avoidFirst, int avoidLast, int& bin) const
{
    int bestRate = stillRate();
    bin = first;
    float best = -1.0f;
    for (int r = 0; r < rateCount(); ++r) {
        const float* average = m_slow[static_cast<std::size_t>(r)].data();
        const auto search = [&](int from, int to) {
            forStored(from, to, m_shift[static_cast<std::size_t>(r)], m_bins, [&](int k, int at) {
                if (average[at] > best) {
                    best = average[at];
                    bestRate = r;
                    bin = k;
                }
            });
        };
        // Left of the avoided bins, then right of them, in rising order.
        search(first, std::min(last, avoidFirst - 1));
        search(std::max(first, avoidLast + 1), last);
    }
    return bestRate;
}

void DriftBank::analyse()
{
    const int n = m_fft.size();
    for (int i = 0; i < n; ++i) {
        const int at = m_frameFill + i;
        m_windowed[i] = m_frame[at < n ? at : at - n] * m_window[i];
    }
    m_fft.power(m_windowed, m_power);
    // Plain mean until the averages have filled, so the first estimate is not held back.
    ++m_frames;
    const float alpha = std::max(m_slowAlpha, 1.0f / static_cast<float>(m_frames));
    const float fastAlpha = std::max(m_fastAlpha, 1.0f / static_cast<float>(m_frames));
    const double hopSeconds = m_hop / m_sampleRate;
    const float* power = m_power.data();
    for (std::size_t r = 0; r < m_rates.size(); ++r) {
        // Slide the average along with its rate, then add the new frame where each bin now is.
        m_offset[r] += m_rates[r] * hopSeconds / m_binHz;
        const int shift = static_cast<int>(std::lround(m_offset[r]));
        m_shift[r] = ((shift % m_bins) + m_bins) % m_bins;
        float* average = m_slow[r].data();
        forStored(1, m_bins - 1, m_shift[r], m_bins,
            [&](int k, int at) { average[at] += alpha * (power[k] - average[at]); });
    }
    for (int k = 1; k < m_bins; ++k) {
        m_fast[k] += fastAlpha * (m_power[k] - m_fast[k]);
    }
    std::ranges::copy(m_power, m_recent[m_recentNext].begin());
    m_recentNext = (m_recentNext + 1) % m_recent.size();
}

} // namespace cwaudio
