// SPDX-License-Identifier: GPL-3.0-or-later
#include "tone_tracker.h"

#include "cw_audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

constexpr double highestToneShare = 0.45; // of the sample rate
// A low pass heard without Doppler correction moves the tone by up to about 170 Hz/s.
constexpr double maxRateHzPerSecond = 200.0;
constexpr double rateStepHzPerSecond = 20.0;
constexpr double slowSeconds = 1.0;
constexpr double fastSeconds = 0.25;
constexpr double trackingHalfWidthHz = 25.0;
constexpr double acquireDb = 7.0;
constexpr double jumpDb = 6.0;
constexpr double fastJumpDb = 9.0;
// Between two estimates the tone moves no faster than this (a jump aside).
constexpr double slewHzPerSecond = 250.0;
constexpr double loseSeconds = 3.0;
// The noise is read this far either side of the tone.
constexpr double noiseNearHz = 60.0;
constexpr double noiseFarHz = 400.0;
constexpr double hintHalfWidthHz = 100.0;
// A frame holds a keyed tone in a bin this far over the averaged floor.
constexpr float onsetOverFloor = 10.0f;
// Two lanes stay this far apart: beyond the keying sidebands of the tone the other one follows.
constexpr double avoidHalfWidthHz = 60.0;

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
    : m_sampleRate(sampleRate)
    , m_fft(fftSizeFor(sampleRate))
    , m_hop(m_fft.size() / 2)
    , m_bins(m_fft.size() / 2)
    , m_binHz(sampleRate / m_fft.size())
    , m_window(m_fft.size())
    , m_frame(m_fft.size(), 0.0f)
    , m_buffer(m_fft.size())
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
    // The estimate has seen the samples up to a second after the one it is applied to.
    m_lag = static_cast<int>(slowSeconds * sampleRate) + n / 2;
    const auto hopsInLag = static_cast<std::size_t>(m_lag / m_hop);
    m_history.assign(hopsInLag + 4, Estimate { 0.0, 0.0, -1 });
    m_recent.assign(hopsInLag + 2, std::vector<float>(static_cast<std::size_t>(m_bins), 0.0f));
    const double highest = std::min(maxToneHz, highestToneShare * sampleRate);
    m_bandFirst = std::max(1, static_cast<int>(minToneHz / m_binHz));
    m_bandLast = std::min(m_bins - 2, static_cast<int>(highest / m_binHz));
    m_firstBin = m_bandFirst;
    m_lastBin = m_bandLast;
    m_trackBins = std::max(2, static_cast<int>(std::lround(trackingHalfWidthHz / m_binHz)));
    m_avoidBins = static_cast<int>(std::lround(avoidHalfWidthHz / m_binHz));
}

void ToneTracker::setHint(double hz)
{
    m_firstBin = std::clamp(static_cast<int>((hz - hintHalfWidthHz) / m_binHz), m_bandFirst, m_bandLast);
    m_lastBin = std::clamp(static_cast<int>((hz + hintHalfWidthHz) / m_binHz) + 1, m_firstBin, m_bandLast);
    // The listener pointed at a tone: go there now, not after the old one fades from the average.
    m_frequency = std::clamp(hz, m_firstBin * m_binHz, m_lastBin * m_binHz);
    m_rate = 0.0;
    m_locked = false;
    m_jumpAt = -1;
    m_jumpSeen = -1;
    std::ranges::fill(m_history, Estimate { 0.0, 0.0, -1 });
}

void ToneTracker::avoid(double hz)
{
    m_avoidBin = static_cast<int>(std::lround(hz / m_binHz));
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
    ++m_samples;
    if (++m_sinceAnalysis < m_hop) {
        return false;
    }
    m_sinceAnalysis = 0;
    analyse();
    return true;
}

double ToneTracker::frequencyAt(std::int64_t sample) const
{
    // The estimates bracketing `sample`, from the ring (oldest first after m_historyNext).
    const Estimate* before = nullptr;
    const Estimate* after = nullptr;
    for (std::size_t k = 0; k < m_history.size(); ++k) {
        const Estimate& e = m_history[(m_historyNext + k) % m_history.size()];
        if (e.at < 0) {
            continue;
        }
        if (e.at <= sample) {
            before = &e;
        } else if (after == nullptr) {
            after = &e;
        }
    }
    double hz = m_frequency;
    if (before != nullptr && after != nullptr) {
        const double f =
            static_cast<double>(sample - before->at) / static_cast<double>(after->at - before->at);
        hz = before->hz + f * (after->hz - before->hz);
    } else if (const Estimate* e = before != nullptr ? before : after) {
        hz = e->hz + e->rate * static_cast<double>(sample - e->at) / m_sampleRate;
    }
    return std::clamp(hz, m_bandFirst * m_binHz, m_bandLast * m_binHz);
}

float ToneTracker::slow(int rateIndex, int bin) const
{
    const auto r = static_cast<std::size_t>(rateIndex);
    const int at = (bin - m_shift[r]) % m_bins;
    return m_slow[r][static_cast<std::size_t>(at < 0 ? at + m_bins : at)];
}

int ToneTracker::peakIn(int first, int last, int& bin) const
{
    first = std::max(first, m_firstBin);
    last = std::min(last, m_lastBin);
    int bestRate = static_cast<int>(m_rates.size() / 2);
    bin = std::clamp(first, m_firstBin, m_lastBin);
    float best = -1.0f;
    for (std::size_t r = 0; r < m_rates.size(); ++r) {
        const float* average = m_slow[r].data();
        const int shift = ((m_shift[r] % m_bins) + m_bins) % m_bins;
        for (int k = first; k <= last; ++k) {
            if (std::abs(k - m_avoidBin) <= m_avoidBins) {
                continue;
            }
            const int at = k - shift;
            const float v = average[at < 0 ? at + m_bins : at];
            if (v > best) {
                best = v;
                bestRate = static_cast<int>(r);
                bin = k;
            }
        }
    }
    return bestRate;
}

std::int64_t ToneTracker::jumpOnset(int oldBin, float floor, std::int64_t now) const
{
    // Newest first: the old tone keyed last in the frame after which the new one took over.
    const int n = m_fft.size();
    for (std::size_t back = 0; back < m_recent.size(); ++back) {
        const auto& frame = m_recent[(m_recentNext + m_recent.size() - 1 - back) % m_recent.size()];
        float old = 0.0f;
        for (int k = std::max(1, oldBin - 1); k <= std::min(m_bins - 1, oldBin + 1); ++k) {
            old = std::max(old, frame[static_cast<std::size_t>(k)]);
        }
        if (old > onsetOverFloor * floor) {
            // That frame is centred `back` hops before now; the change came after its end.
            return now - static_cast<std::int64_t>(back) * m_hop + n / 2;
        }
    }
    return now - static_cast<std::int64_t>(m_recent.size()) * m_hop;
}

double ToneTracker::interpolate(int rateIndex, int bin) const
{
    const double left = std::log(std::max(slow(rateIndex, bin - 1), 1e-30f));
    const double centre = std::log(std::max(slow(rateIndex, bin), 1e-30f));
    const double right = std::log(std::max(slow(rateIndex, bin + 1), 1e-30f));
    const double curvature = left - 2 * centre + right;
    const double offset = curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
    return (bin + offset) * m_binHz;
}

void ToneTracker::analyse()
{
    const int n = m_fft.size();
    for (int i = 0; i < n; ++i) {
        m_buffer[i] = { m_frame[(m_frameFill + i) % n] * m_window[i], 0.0f };
    }
    m_fft.transform(m_buffer);
    for (int k = 0; k < m_bins; ++k) {
        m_power[k] = std::norm(m_buffer[k]);
    }
    // Plain mean until the averages have filled, so the first estimate is not held back.
    ++m_frames;
    const float alpha = std::max(m_slowAlpha, 1.0f / static_cast<float>(m_frames));
    const float fastAlpha = std::max(m_fastAlpha, 1.0f / static_cast<float>(m_frames));
    const double hopSeconds = m_hop / m_sampleRate;
    for (std::size_t r = 0; r < m_rates.size(); ++r) {
        // Slide the average along with its rate, then add the new frame where each bin now is.
        m_offset[r] += m_rates[r] * hopSeconds / m_binHz;
        m_shift[r] = static_cast<int>(std::lround(m_offset[r]));
        const int shift = ((m_shift[r] % m_bins) + m_bins) % m_bins;
        float* average = m_slow[r].data();
        for (int k = 1; k < m_bins; ++k) {
            const int at = k - shift;
            float& v = average[at < 0 ? at + m_bins : at];
            v += alpha * (m_power[k] - v);
        }
    }
    for (int k = 1; k < m_bins; ++k) {
        m_fast[k] += fastAlpha * (m_power[k] - m_fast[k]);
    }
    std::ranges::copy(m_power, m_recent[m_recentNext].begin());
    m_recentNext = (m_recentNext + 1) % m_recent.size();

    const int still = static_cast<int>(m_rates.size() / 2);
    m_scratch.clear();
    for (int k = m_firstBin; k <= m_lastBin; ++k) {
        m_scratch.push_back(slow(still, k));
    }
    auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>(m_scratch.size() / 2);
    std::nth_element(m_scratch.begin(), middle, m_scratch.end());
    const float floor = std::max(*middle, 1e-30f);

    const std::int64_t now = m_samples - n / 2;
    int globalBin = 0;
    const int globalRate = peakIn(m_firstBin, m_lastBin, globalBin);
    int bin = globalBin;
    int rate = globalRate;
    bool jumped = !m_locked;
    if (m_locked) {
        const double predicted = m_frequency + m_rate * hopSeconds;
        const int current = static_cast<int>(std::lround(predicted / m_binHz));
        int localBin = 0;
        const int localRate = peakIn(current - m_trackBins, current + m_trackBins, localBin);
        const double slowGain =
            10 * std::log10(slow(globalRate, globalBin) / std::max(slow(localRate, localBin), 1e-30f));
        // A retuned tone shows first in the short average; the long one confirms it a second later.
        const auto fastPeak = [&](int first, int last) {
            first = std::max(first, m_firstBin);
            last = std::min(last, m_lastBin);
            float best = 1e-30f;
            int at = first;
            for (int k = first; k <= last; ++k) {
                if (m_fast[k] > best && std::abs(k - m_avoidBin) > m_avoidBins) {
                    best = m_fast[k];
                    at = k;
                }
            }
            return std::pair { best, at };
        };
        const auto [fastGlobal, fastBin] = fastPeak(m_firstBin, m_lastBin);
        const auto [fastLocal, fastLocalBin] = fastPeak(current - m_trackBins, current + m_trackBins);
        const bool fastJump = 10 * std::log10(fastGlobal / fastLocal) > fastJumpDb &&
            10 * std::log10(fastGlobal / floor) > acquireDb + fastJumpDb;
        // Just after a jump the averages still show the old tone strongest: the short one for a
        // moment, the long ones for a second and more.
        const auto since = static_cast<double>(now - m_jumpSeen) / m_sampleRate;
        const bool settling = m_jumpSeen >= 0 && since < 1.5 * slowSeconds;
        const bool fastSettling = m_jumpSeen >= 0 && since < 3 * fastSeconds;
        const bool fastTaken = fastJump && !fastSettling;
        if ((slowGain > jumpDb && !settling) || (fastTaken && std::abs(fastBin - globalBin) <= m_trackBins)) {
            jumped = true;
        } else if (fastTaken) {
            jumped = true;
            bin = fastBin;
            rate = still;
        } else {
            bin = localBin;
            rate = localRate;
        }
        if (jumped) {
            m_jumpSeen = now;
            m_jumpAt = jumpOnset(static_cast<int>(std::lround(m_frequency / m_binHz)), floor, now);
        }
    }
    const bool wasLocked = m_locked;
    const double peakDb = 10 * std::log10(std::max(slow(rate, bin), m_fast[bin]) / floor);
    if (peakDb >= acquireDb) {
        m_locked = true;
        m_weakFrames = 0;
    } else if (m_locked && ++m_weakFrames * m_hop > loseSeconds * m_sampleRate) {
        m_locked = false;
    }
    // The rate between the bank's steps, from the peaks of the neighbouring rates; an average
    // sliding a little slower than the tone holds it that much behind, about one averaging time.
    double rateOffset = 0.0;
    if (rate > 0 && rate + 1 < static_cast<int>(m_rates.size())) {
        const auto peakNear = [&](int r) {
            float best = 1e-30f;
            for (int k = bin - 2; k <= bin + 2; ++k) {
                best = std::max(best, slow(r, k));
            }
            return std::log(static_cast<double>(best));
        };
        const double left = peakNear(rate - 1);
        const double centre = peakNear(rate);
        const double right = peakNear(rate + 1);
        const double curvature = left - 2 * centre + right;
        rateOffset = curvature < 0
            ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) * rateStepHzPerSecond
            : 0.0;
    }
    const double estimate = interpolate(rate, bin) + rateOffset * slowSeconds;
    const double step = slewHzPerSecond * hopSeconds;
    m_frequency = jumped ? estimate : std::clamp(estimate, m_frequency - step, m_frequency + step);
    m_rate = m_rates[static_cast<std::size_t>(rate)] + rateOffset;
    // A drift-matched average shows the tone where it is now, so each estimate holds for its own
    // moment; after a jump the moments since it began get the new tone.
    // On first finding a tone, what came before it followed noise peaks: the tone holds for it too.
    const bool found = !wasLocked && m_locked;
    if ((jumped && m_locked && m_jumpAt >= 0) || found) {
        for (Estimate& e : m_history) {
            if (e.at >= m_jumpAt || found) {
                e = { m_frequency - m_rate * static_cast<double>(now - e.at) / m_sampleRate, m_rate, e.at };
            }
        }
    }
    m_history[m_historyNext] = { m_frequency, m_rate, now };
    m_historyNext = (m_historyNext + 1) % m_history.size();

    const int peak = static_cast<int>(std::lround(m_frequency / m_binHz));
    const int nearBins = static_cast<int>(noiseNearHz / m_binHz) + 1;
    const int farBins = static_cast<int>(noiseFarHz / m_binHz);
    m_nearby.clear();
    for (int k = std::max(1, peak - farBins); k <= std::min(m_bins - 2, peak + farBins); ++k) {
        if (std::abs(k - peak) >= nearBins) {
            m_nearby.push_back(slow(rate, k));
        }
    }
    if (!m_nearby.empty()) {
        auto mid = m_nearby.begin() + static_cast<std::ptrdiff_t>(m_nearby.size() / 2);
        std::nth_element(m_nearby.begin(), mid, m_nearby.end());
        m_noiseVariance = *mid / m_windowEnergy;
    }
}

} // namespace cwaudio
