// SPDX-License-Identifier: GPL-3.0-or-later
#include "drift_bank.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

// A low pass heard without Doppler correction moves the tone by up to about 170 Hz/s.
constexpr double maxRateHzPerSecond = 200.0;
constexpr double rateStepHzPerSecond = 20.0;
constexpr double slowSeconds = 1.0;
constexpr double fastSeconds = 0.25;
// Bins of an average whose maximum is kept, so a peak search can pass over weak stretches.
constexpr int block = 16;

int fftSizeFor(double rate)
{
    int size = 256;
    while (rate / size > 8.0) {
        size *= 2;
    }
    return size;
}

// Calls `visit(k, at, count)` for the runs of bins from k on, stored from `at` on, that make up
// [first, last] in an average slid by `shift` (0 <= shift < bins): at most two, in rising order.
template<typename Visit>
void forStoredRuns(int first, int last, int shift, int bins, Visit&& visit)
{
    const int wrapEnd = std::min(last, shift - 1); // these k are stored at k - shift + bins
    if (first <= wrapEnd) {
        visit(first, first - shift + bins, wrapEnd - first + 1);
    }
    const int from = std::max(first, shift);
    if (from <= last) {
        visit(from, from - shift, last - from + 1);
    }
}

// Moves each value of `average` the share `alpha` of the way to `frame`'s.
void smooth(float* __restrict average, const float* __restrict frame, float alpha, int count)
{
    for (int i = 0; i < count; ++i) {
        average[i] += alpha * (frame[i] - average[i]);
    }
}

void windowed(
    const float* __restrict samples, const float* __restrict window, float* __restrict out, int count)
{
    for (int i = 0; i < count; ++i) {
        out[i] = samples[i] * window[i];
    }
}

// The maximum of each block of `average` (`bins` a multiple of the block): four runs of four side
// by side, which vectorises, then the four that are left.
void blockMaxima(const float* __restrict average, float* __restrict maxima, int bins)
{
    static_assert(block == 16);
    for (int b = 0; b < bins / block; ++b) {
        const float* a = average + static_cast<std::ptrdiff_t>(b) * block;
        std::array<float, 4> m {};
        for (std::size_t i = 0; i < m.size(); ++i) {
            m[i] = std::max(std::max(a[i], a[i + 4]), std::max(a[i + 8], a[i + 12]));
        }
        maxima[b] = std::max(std::max(m[0], m[1]), std::max(m[2], m[3]));
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
    m_blockMax.assign(m_rates.size(), std::vector<float>(static_cast<std::size_t>(m_bins / block), 0.0f));
    m_slowAlpha = static_cast<float>(m_hop / (slowSeconds * sampleRate));
    m_fastAlpha = static_cast<float>(m_hop / (fastSeconds * sampleRate));
    // Frames kept to date a jump: as far back as the long average reaches.
    const int reach = static_cast<int>(slowSeconds * sampleRate) + n / 2;
    const auto framesInAverage = static_cast<std::size_t>(reach / m_hop);
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
    int at = bin - m_shift[r];
    if (at < 0) {
        at += m_bins;
    }
    if (at < 0 || at >= m_bins) {
        at = (at % m_bins + m_bins) % m_bins;
    }
    return m_slow[r][static_cast<std::size_t>(at)];
}

void DriftBank::appendSlow(int rateIndex, int first, int last, std::vector<float>& out) const
{
    const auto r = static_cast<std::size_t>(rateIndex);
    const float* average = m_slow[r].data();
    forStoredRuns(first, last, m_shift[r], m_bins,
        [&](int /*k*/, int at, int count) { out.insert(out.end(), average + at, average + at + count); });
}

float DriftBank::stillMedian(int first, int last) const
{
    if (m_median.frames != m_frames || m_median.first != first || m_median.last != last) {
        m_medianScratch.clear();
        appendSlow(stillRate(), first, last, m_medianScratch);
        auto middle = m_medianScratch.begin() + static_cast<std::ptrdiff_t>(m_medianScratch.size() / 2);
        std::nth_element(m_medianScratch.begin(), middle, m_medianScratch.end());
        m_median = { m_frames, first, last, *middle };
    }
    return m_median.value;
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
        const float* blockMax = m_blockMax[static_cast<std::size_t>(r)].data();
        const auto search = [&](int from, int to) {
            forStoredRuns(
                from, to, m_shift[static_cast<std::size_t>(r)], m_bins, [&](int k, int at, int count) {
                    // Whole blocks whose maximum cannot beat the best are passed over unread.
                    const int end = at + count;
                    while (at < end) {
                        const int blockEnd = std::min(end, (at / block + 1) * block);
                        if (at % block != 0 || blockEnd - at < block || blockMax[at / block] > best) {
                            for (; at < blockEnd; ++at, ++k) {
                                if (average[at] > best) {
                                    best = average[at];
                                    bestRate = r;
                                    bin = k;
                                }
                            }
                        } else {
                            k += blockEnd - at;
                            at = blockEnd;
                        }
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
    // The ring from its oldest sample on.
    const int oldest = n - m_frameFill;
    windowed(m_frame.data() + m_frameFill, m_window.data(), m_windowed.data(), oldest);
    windowed(m_frame.data(), m_window.data() + oldest, m_windowed.data() + oldest, m_frameFill);
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
        forStoredRuns(1, m_bins - 1, m_shift[r], m_bins,
            [&](int k, int at, int count) { smooth(average + at, power + k, alpha, count); });
        blockMaxima(average, m_blockMax[r].data(), m_bins);
    }
    smooth(m_fast.data() + 1, power + 1, fastAlpha, m_bins - 1);
    std::ranges::copy(m_power, m_recent[m_recentNext].begin());
    m_recentNext = (m_recentNext + 1) % m_recent.size();
}

} // namespace cwaudio
