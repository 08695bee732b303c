// SPDX-License-Identifier: GPL-3.0-or-later
#include "drift_bank.h"

#include "vector_state.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DRIFT_BANK_AVX2 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cwaudio {

namespace {

// A low pass heard without Doppler correction moves the tone by up to about 170 Hz/s.
constexpr double maxRateHzPerSecond = 200.0;
constexpr double rateStepHzPerSecond = 20.0;
constexpr double slowSeconds = 1.0;
constexpr double fastSeconds = 0.25;
// A retuned tone stands 6 dB over the one it replaced in the long average only about 1.6
// averaging times after the change, and later still in deep noise: frames are kept that long, so
// such a jump can still be dated where it happened.
constexpr double jumpSeenWithinSeconds = 2.5 * slowSeconds;
// The band's median is looked for first this close to the last frame's.
constexpr float nearMedian = 0.05f;

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
VECTORISED_BODY inline void forStoredRuns(int first, int last, int shift, int bins, Visit&& visit)
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
VECTORISED_BODY inline void smooth(
    float* __restrict average, const float* __restrict frame, float alpha, int count)
{
    for (int i = 0; i < count; ++i) {
        average[i] += alpha * (frame[i] - average[i]);
    }
}

VECTORISED_BODY inline void windowed(
    const float* __restrict samples, const float* __restrict window, float* __restrict out, int count)
{
    for (int i = 0; i < count; ++i) {
        out[i] = samples[i] * window[i];
    }
}

// Copies the values within [low, high] of `values` to `near`, in order, and counts those below
// `low`; returns how many it copied. `near` has room for `count` + 8.
std::size_t pickNear(
    const float* values, std::size_t count, float low, float high, float* near, std::size_t& below)
{
    std::size_t picked = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const float v = values[i];
        below += v < low ? 1 : 0;
        near[picked] = v;
        picked += v >= low && v <= high ? 1 : 0;
    }
    return picked;
}

#if defined(DRIFT_BANK_AVX2)
// For each mask of eight lanes, the lanes it holds moved to the front, for a permute.
constexpr std::array<std::array<int, 8>, 256> packTable()
{
    std::array<std::array<int, 8>, 256> table {};
    for (std::size_t mask = 0; mask < table.size(); ++mask) {
        std::size_t to = 0;
        for (int lane = 0; lane < 8; ++lane) {
            if ((mask >> lane & 1U) != 0) {
                table[mask][to++] = lane;
            }
        }
    }
    return table;
}

// pickNear() eight values at a time.
__attribute__((target("avx2,popcnt"))) std::size_t pickNearAvx2(
    const float* values, std::size_t count, float low, float high, float* near, std::size_t& below)
{
    static constexpr std::array<std::array<int, 8>, 256> pack = packTable();
    const __m256 lowV = _mm256_set1_ps(low);
    const __m256 highV = _mm256_set1_ps(high);
    std::size_t picked = 0;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 v = _mm256_loadu_ps(values + i);
        const int under = _mm256_movemask_ps(_mm256_cmp_ps(v, lowV, _CMP_LT_OQ));
        const int within = _mm256_movemask_ps(
            _mm256_and_ps(_mm256_cmp_ps(v, lowV, _CMP_GE_OQ), _mm256_cmp_ps(v, highV, _CMP_LE_OQ)));
        const __m256i order = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(pack[static_cast<std::size_t>(within)].data()));
        _mm256_storeu_ps(near + picked, _mm256_permutevar8x32_ps(v, order));
        below += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(under)));
        picked += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(within)));
    }
    return picked + pickNear(values + i, count - i, low, high, near + picked, below);
}
#endif

// The middle value of `values` (the one at index size / 2 once sorted). The band's median moves
// little from one frame to the next: the values near the last one are picked out into `near` in
// one pass and only they are ordered, unless the middle has left them.
float middleValue(std::vector<float>& values, float last, std::vector<float>& near)
{
    if (values.empty()) {
        return 0.0f;
    }
    const std::size_t middle = values.size() / 2;
    const float low = last * (1.0f - nearMedian);
    const float high = last * (1.0f + nearMedian);
    near.resize(values.size() + 8);
    std::size_t below = 0;
#if defined(DRIFT_BANK_AVX2)
    const auto pick = hasAvx2() ? pickNearAvx2 : pickNear;
#else
    constexpr auto pick = pickNear;
#endif
    const std::size_t count = pick(values.data(), values.size(), low, high, near.data(), below);
    if (middle >= below && middle < below + count) {
        const auto at = near.begin() + static_cast<std::ptrdiff_t>(middle - below);
        std::nth_element(near.begin(), at, near.begin() + static_cast<std::ptrdiff_t>(count));
        return *at;
    }
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(middle);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// Raises each of `strongest` to the value of `average` beside it, where that is higher.
VECTORISED_BODY inline void keepStronger(
    float* __restrict strongest, const float* __restrict average, int count)
{
    for (int i = 0; i < count; ++i) {
        strongest[i] = average[i] > strongest[i] ? average[i] : strongest[i];
    }
}

// smooth() then keepStronger() in one pass, so each average is read and written once.
VECTORISED_BODY inline void smoothKeepingStronger(float* __restrict average, const float* __restrict frame,
    float alpha, float* __restrict strongest, int count)
{
    for (int i = 0; i < count; ++i) {
        const float a = average[i] + alpha * (frame[i] - average[i]);
        average[i] = a;
        strongest[i] = a > strongest[i] ? a : strongest[i];
    }
}

// The highest of values[first..last] (-1 for none): eight maxima side by side, which vectorises.
float highest(const float* values, int first, int last)
{
    std::array<float, 8> m {};
    m.fill(-1.0f);
    int k = first;
    for (; k + 8 <= last + 1; k += 8) {
        for (std::size_t i = 0; i < m.size(); ++i) {
            m[i] = std::max(m[i], values[k + static_cast<int>(i)]);
        }
    }
    for (; k <= last; ++k) {
        m[0] = std::max(m[0], values[k]);
    }
    return std::ranges::max(m);
}

// The first k in [from, end) where values[k] == value, or `end`; four at a time where SSE2 is.
int nextEqual(const float* values, int from, int end, float value)
{
    int k = from;
#if defined(__SSE2__)
    const __m128 wanted = _mm_set1_ps(value);
    for (; k + 4 <= end; k += 4) {
        const int equal = _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(values + k), wanted));
        if (equal != 0) {
            return k + __builtin_ctz(static_cast<unsigned>(equal));
        }
    }
#endif
    for (; k < end && values[k] != value; ++k) { }
    return k;
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
    , m_strongest(m_fft.size() / 2, -1.0f)
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
    // Frames kept to date a jump: as late as one is seen.
    const int reach = static_cast<int>(jumpSeenWithinSeconds * sampleRate) + n / 2;
    const auto framesInAverage = static_cast<std::size_t>(reach / m_hop);
    m_recent.assign(framesInAverage + 2, std::vector<float>(static_cast<std::size_t>(m_bins), 0.0f));
}

double DriftBank::averageSeconds() const
{
    return slowSeconds;
}

double DriftBank::jumpSeenWithin() const
{
    return jumpSeenWithinSeconds;
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

std::size_t DriftBank::push(std::span<const float> samples, bool& frame)
{
    const std::size_t take = std::min(samples.size(), static_cast<std::size_t>(m_hop - m_sinceAnalysis));
    const auto size = static_cast<std::size_t>(m_fft.size());
    for (std::size_t done = 0; done < take;) {
        const std::size_t run = std::min(take - done, size - static_cast<std::size_t>(m_frameFill));
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(done), run, m_frame.begin() + m_frameFill);
        m_frameFill = static_cast<int>((static_cast<std::size_t>(m_frameFill) + run) % size);
        done += run;
    }
    m_samples += static_cast<std::int64_t>(take);
    m_sinceAnalysis += static_cast<int>(take);
    frame = m_sinceAnalysis == m_hop;
    if (frame) {
        m_sinceAnalysis = 0;
        analyse();
    }
    return take;
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
        m_median = { m_frames, first, last, middleValue(m_medianScratch, m_median.value, m_nearMedian) };
    }
    return m_median.value;
}

float DriftBank::fastMedian(int first, int last) const
{
    if (m_fastMedian.frames != m_frames || m_fastMedian.first != first || m_fastMedian.last != last) {
        m_medianScratch.assign(m_fast.begin() + first, m_fast.begin() + last + 1);
        m_fastMedian = { m_frames, first, last,
            middleValue(m_medianScratch, m_fastMedian.value, m_nearMedian) };
    }
    return m_fastMedian.value;
}

const std::vector<float>& DriftBank::recent(std::size_t back) const
{
    return m_recent[(m_recentNext + m_recent.size() - 1 - back) % m_recent.size()];
}

int DriftBank::peakIn(int first, int last, int avoidFirst, int avoidLast, int& bin) const
{
    // Left of the avoided bins, then right of them.
    const std::array<std::pair<int, int>, 2> ranges { std::pair { first, std::min(last, avoidFirst - 1) },
        std::pair { std::max(first, avoidLast + 1), last } };
    // The strongest value of any average in the bins searched...
    const float* strongest = m_strongest.data();
    float best = -1.0f;
    for (const auto& [from, to] : ranges) {
        best = std::max(best, highest(strongest, std::max(from, 0), std::min(to, m_bins - 1)));
    }
    // ...and where a search rate by rate, bin by bin, would first have met it.
    int bestRate = stillRate();
    bin = first;
    if (!(best > -1.0f)) {
        return bestRate;
    }
    bestRate = rateCount();
    for (const auto& [from, to] : ranges) {
        const int end = std::min(to, m_bins - 1) + 1;
        for (int k = nextEqual(strongest, std::max(from, 0), end, best); k < end;
             k = nextEqual(strongest, k + 1, end, best)) {
            for (int r = 0; r < bestRate; ++r) {
                if (slow(r, k) == best) {
                    bestRate = r;
                    bin = k;
                    break;
                }
            }
        }
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
    std::ranges::fill(m_strongest, -1.0f);
    float* const strongest = m_strongest.data();
    for (std::size_t r = 0; r < m_rates.size(); ++r) {
        // Slide the average along with its rate, then add the new frame where each bin now is.
        m_offset[r] += m_rates[r] * hopSeconds / m_binHz;
        const int shift = static_cast<int>(std::lround(m_offset[r]));
        m_shift[r] = ((shift % m_bins) + m_bins) % m_bins;
    }
    runVectorised([&]() VECTORISED_BODY {
        for (std::size_t r = 0; r < m_rates.size(); ++r) {
            // The strongest of the averages in each bin as well, for the peak search.
            float* average = m_slow[r].data();
            forStoredRuns(1, m_bins - 1, m_shift[r], m_bins, [&](int k, int at, int count) VECTORISED_BODY {
                smoothKeepingStronger(average + at, power + k, alpha, strongest + k, count);
            });
            keepStronger(strongest, average + (m_bins - m_shift[r]) % m_bins, 1);
        }
        smooth(m_fast.data() + 1, power + 1, fastAlpha, m_bins - 1);
    });
    std::ranges::copy(m_power, m_recent[m_recentNext].begin());
    m_recentNext = (m_recentNext + 1) % m_recent.size();
}

} // namespace cwaudio
