// SPDX-License-Identifier: GPL-3.0-or-later
#include "tone_tracker.h"

#include "cw_audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

constexpr double highestToneShare = 0.45; // of the sample rate
constexpr double fastSeconds = 0.25; // as the bank's short average
// A tone keyed up shows in the short average this long after.
constexpr double fastShowsSeconds = 1.2 * fastSeconds;
constexpr double trackingHalfWidthHz = 25.0;
constexpr double acquireDb = 7.0;
constexpr double jumpDb = 6.0;
constexpr double fastJumpDb = 9.0;
// The short average near the tone stands this far over the floor while it is keyed.
constexpr double keyedDb = 6.0;
// Between two estimates the tone moves no faster than this (a jump aside).
constexpr double slewHzPerSecond = 250.0;
// The drift is fitted to the keyed estimates of about the last 3 s, and taken once a second of
// them has come in.
constexpr double driftMemorySeconds = 3.0;
constexpr double driftFitSeconds = 1.0;
constexpr double loseSeconds = 3.0;
// A moving tone's estimates scatter by several hertz about its path: the bank measures the rate to
// its step, and each estimate is moved by the rate it measured. The signal path runs behind the
// tracker, so estimates on both sides of a moment are known, and a line through those of the keyed
// tone within this many seconds holds the path to a hertz or two (the Doppler curve bends by under
// one over it). A pause this long may end it: the tone comes back where the tracker finds it.
constexpr double pathSeconds = 1.5;
constexpr double pathPauseSeconds = 0.5;
constexpr int pathEstimates = 4;
// A tone holding still reads within a hertz from the estimates as they are.
constexpr double pathMinHzPerSecond = 5.0;
// In a pause the tone goes on at the rate last measured, which the bank knows to half its step,
// and the Doppler curve bends meanwhile by up to this much (a low pass at 435 MHz: f/c 0.86 v^3/d^2).
constexpr double dopplerBendHzPerSecond2 = 2.5;
// The noise is read this far either side of the tone.
constexpr double noiseNearHz = 60.0;
constexpr double noiseFarHz = 400.0;
constexpr double hintHalfWidthHz = 100.0;
// A frame holds a keyed tone in a bin this far over the averaged floor.
constexpr float onsetOverFloor = 10.0f;
// Two lanes stay this far apart: beyond the keying sidebands of the tone the other one follows.
constexpr double avoidHalfWidthHz = 60.0;
// A beacon is read a few seconds behind the signal path: the peaks away from the tone are kept
// that much longer than the lag.
constexpr double elsewhereKeptSeconds = 5.0;
// Away from the tone followed, this far from it: a tone drifting fast smears its short average.
constexpr int elsewhereTrackWidths = 2;
// A tone that came up elsewhere: this far over the floor (above the noise's peaks across the
// band), at least this share of the followed tone's strength (the last elements of a character
// fill less of the short average than the keying did), and before it, nothing near it above this
// share of its own.
constexpr double cameUpDb = 10.0;
constexpr float cameUpShare = 1.0f / 16;
constexpr float quietBeforeShare = 0.25f;

} // namespace

ToneTracker::ToneTracker(const DriftBank& bank)
    : m_bank(bank)
    , m_sampleRate(bank.sampleRate())
    , m_hop(bank.hop())
    // The estimate has seen the samples up to a second after the one it is applied to, and a jump
    // seen late can still be dated before the signal path reaches it.
    , m_lag(static_cast<int>(bank.jumpSeenWithin() * bank.sampleRate()) + bank.fftSize() / 2)
    , m_noiseLead(static_cast<std::int64_t>(bank.averageSeconds() * bank.sampleRate()))
    , m_bins(bank.bins())
    , m_binHz(bank.binHz())
    , m_drift(driftMemorySeconds)
{
    const auto hopsInLag = static_cast<std::size_t>(m_lag / m_hop);
    const auto hopsInPath = static_cast<std::size_t>(std::ceil(pathSeconds * m_sampleRate / m_hop));
    m_history.assign(hopsInLag + hopsInPath + 4, Estimate {});
    m_elsewhere.assign(
        hopsInLag + static_cast<std::size_t>(elsewhereKeptSeconds * m_sampleRate / m_hop), Elsewhere {});
    const double highest = std::min(maxToneHz, highestToneShare * m_sampleRate);
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
    m_drift.clear();
    m_locked = false;
    m_keyedAt = -1;
    m_jumpAt = -1;
    m_jumpSeen = -1;
    std::ranges::fill(m_history, Estimate {});
    std::ranges::fill(m_elsewhere, Elsewhere {});
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

bool ToneTracker::toneCameUpElsewhere(std::int64_t first, std::int64_t last, std::int64_t before) const
{
    last += static_cast<std::int64_t>(fastShowsSeconds * m_sampleRate);
    const Elsewhere* up = nullptr;
    float own = 0.0f;
    bool reached = false;
    for (const Elsewhere& e : m_elsewhere) {
        if (e.at >= 0 && e.at <= first - before) {
            reached = true;
        }
        if (e.at >= first && e.at <= last && (up == nullptr || e.level > up->level)) {
            up = &e;
        }
        if (e.at >= first - before && e.at < first) {
            own = std::max(own, e.own);
        }
    }
    // Counted over the band as it stood then as well: a crash's own peaks are not a tone.
    if (!reached || up == nullptr || 10 * std::log10(up->level / std::max(up->band, 1.0f)) < cameUpDb ||
        up->level < cameUpShare * own) {
        return false;
    }
    // The short average shows a tone a little before `first` already.
    const std::int64_t rising = first - static_cast<std::int64_t>(fastSeconds * m_sampleRate);
    const int near = elsewhereTrackWidths * m_trackBins;
    return std::ranges::none_of(m_elsewhere, [&](const Elsewhere& e) {
        const bool earlier = e.at >= first - before && e.at < rising;
        return earlier &&
            ((std::abs(e.bin - up->bin) <= near && e.level >= quietBeforeShare * up->level) ||
                (std::abs(e.ownBin - up->bin) <= near && e.own >= quietBeforeShare * up->level));
    });
}

ToneTracker::Bracket ToneTracker::bracketOf(std::int64_t sample) const
{
    // From the ring, oldest first after m_historyNext. The moments rise in that order, so the first
    // after `sample` ends the search: the signal path asks about those a path's reach from the
    // oldest, which are kept for the line through them.
    Bracket b;
    for (std::size_t k = 0, at = m_historyNext; k < m_history.size();
         ++k, at = at + 1 == m_history.size() ? 0 : at + 1) {
        const Estimate& e = m_history[at];
        if (e.at < 0) {
            continue;
        }
        if (e.at > sample) {
            b.after = &e;
            break;
        }
        b.before = &e;
        b.beforeIndex = at;
    }
    return b;
}

ToneTracker::ToneAt ToneTracker::toneAt(std::int64_t sample) const
{
    const Bracket b = bracketOf(sample);
    const double estimated = estimateFrom(b, sample);
    if (b.before != nullptr && b.after != nullptr && b.after->jumpAt < 0 &&
        (b.before->keyed || b.after->keyed)) {
        if (const auto hz = pathAt(b.beforeIndex, sample)) {
            return { estimated, std::clamp(*hz, m_bandFirst * m_binHz, m_bandLast * m_binHz) };
        }
    }
    return { estimated, estimated };
}

double ToneTracker::estimateFrom(const Bracket& b, std::int64_t sample) const
{
    const Estimate* before = b.before;
    const Estimate* after = b.after;
    double hz = m_frequency;
    // Across a jump each side holds its own tone.
    if (before != nullptr && after != nullptr && after->jumpAt > before->at) {
        const Estimate* e = sample < after->jumpAt ? before : after;
        hz = e->hz + e->rate * static_cast<double>(sample - e->at) / m_sampleRate;
    } else if (before != nullptr && after != nullptr) {
        const double f =
            static_cast<double>(sample - before->at) / static_cast<double>(after->at - before->at);
        hz = before->hz + f * (after->hz - before->hz);
    } else if (const Estimate* e = before != nullptr ? before : after) {
        hz = e->hz + e->rate * static_cast<double>(sample - e->at) / m_sampleRate;
    }
    return std::clamp(hz, m_bandFirst * m_binHz, m_bandLast * m_binHz);
}

std::optional<double> ToneTracker::pathAt(std::size_t before, std::int64_t sample) const
{
    // Sums for a least-squares line through the keyed estimates, time counted from `sample`, from
    // `before` back and from the one after it on, each way up to a jump, a pause or the reach.
    double n = 0.0;
    double t1 = 0.0;
    double t2 = 0.0;
    double f1 = 0.0;
    double ft = 0.0;
    const auto reach = static_cast<std::int64_t>(pathSeconds * m_sampleRate);
    const auto pause = static_cast<std::int64_t>(pathPauseSeconds * m_sampleRate);
    const std::size_t size = m_history.size();
    const auto take = [&](std::size_t index, std::int64_t& lastKeyed) {
        const Estimate& e = m_history[index];
        if (e.at < 0 || std::abs(e.at - sample) > reach || std::abs(e.at - lastKeyed) > pause) {
            return false;
        }
        // An estimate filled in back to a jump follows the rate the bank gave a tone just come up,
        // often far off: a line through those lags the tone by 10-20 Hz for a second (a dash read
        // as two dots across it).
        if (e.keyed && !e.filled) {
            const double t = static_cast<double>(e.at - sample) / m_sampleRate;
            n += 1.0;
            t1 += t;
            t2 += t * t;
            f1 += e.hz;
            ft += e.hz * t;
            lastKeyed = e.at;
        }
        return true;
    };
    std::int64_t lastKeyed = sample;
    for (std::size_t k = 0, i = before; k < size && m_history[i].at <= sample && take(i, lastKeyed); ++k) {
        if (m_history[i].jumpAt >= 0) {
            break; // a jump just before this one
        }
        i = i == 0 ? size - 1 : i - 1;
    }
    lastKeyed = sample;
    for (std::size_t k = 0, i = before + 1 == size ? 0 : before + 1;
         k < size && m_history[i].at > sample && m_history[i].jumpAt < 0 && take(i, lastKeyed); ++k) {
        i = i + 1 == size ? 0 : i + 1;
    }
    const double det = n * t2 - t1 * t1;
    if (n < pathEstimates || det <= 0.0 || std::abs(n * ft - t1 * f1) < pathMinHzPerSecond * det) {
        return std::nullopt;
    }
    return (f1 * t2 - t1 * ft) / det;
}

double ToneTracker::toneBeside(std::int64_t sample, bool after) const
{
    const Estimate& e = after ? m_afterJump : m_beforeJump;
    return e.hz + e.rate * static_cast<double>(sample - e.at) / m_sampleRate;
}

void ToneTracker::redateJump(std::int64_t to)
{
    const std::int64_t from = m_jumpAt;
    to = std::min(to, m_afterJump.at);
    Estimate* first = nullptr;
    for (Estimate& e : m_history) {
        if (e.at < 0) {
            continue;
        }
        if (e.jumpAt == from) {
            e.jumpAt = -1;
        }
        // The estimates the jump passes over take the tone of the side they now lie on.
        if (e.at >= std::min(from, to) && e.at < std::max(from, to)) {
            const bool after = to < from;
            e.hz = toneBeside(e.at, after);
            e.rate = (after ? m_afterJump : m_beforeJump).rate;
        }
        if (e.at >= to && (first == nullptr || e.at < first->at)) {
            first = &e;
        }
    }
    if (first != nullptr) {
        first->jumpAt = to;
    }
    m_jumpAt = to;
    m_jumpJustSeen = false;
}

double ToneTracker::noiseVarianceAt(std::int64_t sample) const
{
    const Estimate* read = nullptr;
    for (const Estimate& e : m_history) {
        if (e.at >= sample + m_noiseLead && (read == nullptr || e.at < read->at)) {
            read = &e;
        }
    }
    return read != nullptr ? read->noise : m_noiseVariance;
}

int ToneTracker::peakIn(int first, int last, int& bin) const
{
    first = std::max(first, m_firstBin);
    last = std::min(last, m_lastBin);
    const int rate = m_bank.peakIn(first, last, m_avoidBin - m_avoidBins, m_avoidBin + m_avoidBins, bin);
    bin = std::clamp(bin, m_firstBin, m_lastBin);
    return rate;
}

std::int64_t ToneTracker::jumpOnset(double newHz, double newRate, float floor, std::int64_t now) const
{
    // Newest first, each tone followed back along its drift: the old one keyed last in frame
    // `oldLast`, the new one first in `newFirst` after it. A frame holds a tone keyed anywhere in
    // its window, so the one is dated late and the other early: the change lies between.
    const int n = m_bank.fftSize();
    const auto holds = [&](const std::vector<float>& frame, double hz) {
        const int bin = static_cast<int>(std::lround(hz / m_binHz));
        float peak = 0.0f;
        for (int k = std::max(1, bin - 1); k <= std::min(m_bins - 1, bin + 1); ++k) {
            peak = std::max(peak, frame[static_cast<std::size_t>(k)]);
        }
        return peak > onsetOverFloor * floor;
    };
    // Frames holding both tones straddle the change: it lies among them.
    std::int64_t newFirst = -1;
    std::int64_t oldLast = -1;
    for (std::size_t back = 0; back < m_bank.recentFrames(); ++back) {
        const auto& frame = m_bank.recent(back);
        const auto ago = static_cast<std::int64_t>(back) * m_hop;
        const double seconds = static_cast<double>(ago) / m_sampleRate;
        const std::int64_t centre = now - ago;
        const bool oldHeld = holds(frame, m_frequency - m_rate * seconds);
        const bool newHeld = holds(frame, newHz - newRate * seconds);
        if (newHeld) {
            newFirst = centre;
        }
        if (oldHeld && oldLast < 0) {
            oldLast = centre;
        }
        if (oldLast >= 0 && !newHeld) {
            break;
        }
    }
    if (oldLast >= 0) {
        return newFirst >= 0 ? (oldLast + newFirst) / 2 : oldLast + n / 2;
    }
    return newFirst >= 0 ? newFirst : now - static_cast<std::int64_t>(m_bank.recentFrames()) * m_hop;
}

double ToneTracker::interpolate(int rateIndex, int bin) const
{
    const double left = std::log(std::max(m_bank.slow(rateIndex, bin - 1), 1e-30f));
    const double centre = std::log(std::max(m_bank.slow(rateIndex, bin), 1e-30f));
    const double right = std::log(std::max(m_bank.slow(rateIndex, bin + 1), 1e-30f));
    const double curvature = left - 2 * centre + right;
    const double offset = curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
    return (bin + offset) * m_binHz;
}

void ToneTracker::update()
{
    const int n = m_bank.fftSize();
    const double hopSeconds = m_hop / m_sampleRate;
    const auto slow = [this](int rate, int bin) { return m_bank.slow(rate, bin); };
    const float floor = std::max(m_bank.stillMedian(m_firstBin, m_lastBin), 1e-30f);

    const std::int64_t now = m_bank.samples() - n / 2;
    int globalBin = 0;
    const int globalRate = peakIn(m_firstBin, m_lastBin, globalBin);
    int bin = globalBin;
    int rate = globalRate;
    bool jumped = !m_locked;
    const bool wasLocked = m_locked;
    m_drift.age(hopSeconds);
    const double predicted = m_frequency + m_rate * hopSeconds;
    bool keyed = true;
    double shown = 0.0; // the tone's short average over the floor
    if (m_locked) {
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
                if (m_bank.fast(k) > best && std::abs(k - m_avoidBin) > m_avoidBins) {
                    best = m_bank.fast(k);
                    at = k;
                }
            }
            return std::pair { best, at };
        };
        // One pass over the band: its strongest peak, and the strongest either side of the tone
        // followed, beyond where a drifting tone smears its own.
        const int away = elsewhereTrackWidths * m_trackBins;
        float fastGlobal = 1e-30f;
        int fastBin = m_firstBin;
        float below = 1e-30f;
        int belowBin = m_firstBin;
        float above = 1e-30f;
        int aboveBin = std::max(current + away + 1, m_firstBin);
        for (int k = m_firstBin; k <= m_lastBin; ++k) {
            const float v = m_bank.fast(k);
            if (std::abs(k - m_avoidBin) <= m_avoidBins) {
                continue;
            }
            if (v > fastGlobal) {
                fastGlobal = v;
                fastBin = k;
            }
            if (k < current - away && v > below) {
                below = v;
                belowBin = k;
            } else if (k > current + away && v > above) {
                above = v;
                aboveBin = k;
            }
        }
        const auto [fastLocal, fastLocalBin] = fastPeak(current - m_trackBins, current + m_trackBins);
        const bool fastJump = 10 * std::log10(fastGlobal / fastLocal) > fastJumpDb &&
            10 * std::log10(fastGlobal / floor) > acquireDb + fastJumpDb;
        // Just after a jump the averages still show the old tone strongest: the short one for a
        // moment, the long ones for a second and more.
        const auto since = static_cast<double>(now - m_jumpSeen) / m_sampleRate;
        const bool settling = m_jumpSeen >= 0 && since < 1.5 * m_bank.averageSeconds();
        const bool fastSettling = m_jumpSeen >= 0 && since < 3 * fastSeconds;
        const bool fastTaken = fastJump && !fastSettling;
        // After a pause the keying comes back where the tone's drift carried it, give or take what
        // the rate's doubt and the curve's bend have moved it since: come up there, over the noise's
        // peaks and over the window around the prediction, it is the tone, taken as after a jump so
        // the moments since it came back get it too (the first dash of a beacon is not lost).
        bool cameBack = false;
        if (!m_keyed && m_keyedAt >= 0) {
            const double pause = static_cast<double>(now - m_keyedAt) / m_sampleRate;
            const double doubtHz =
                0.5 * m_bank.rateStep() * pause + 0.5 * dopplerBendHzPerSecond2 * pause * pause;
            const int wide = m_trackBins + static_cast<int>(std::lround(doubtHz / m_binHz));
            const auto [fastBack, fastBackBin] = fastPeak(current - wide, current + wide);
            cameBack = std::abs(fastBackBin - current) > m_trackBins &&
                10 * std::log10(fastBack / floor) >= cameUpDb &&
                10 * std::log10(fastBack / fastLocal) >= jumpDb;
            if (cameBack) {
                rate = peakIn(fastBackBin - m_trackBins, fastBackBin + m_trackBins, bin);
            }
        }
        if (cameBack || (slowGain > jumpDb && !settling) ||
            (fastTaken && std::abs(fastBin - globalBin) <= m_trackBins)) {
            jumped = true;
        } else if (fastTaken) {
            // The short average smears a moving tone and holds it back; the bank's average that
            // slides with it, though it has held the new tone only briefly, shows where it is now
            // and how fast it moves.
            jumped = true;
            rate = peakIn(fastBin - m_trackBins, fastBin + m_trackBins, bin);
        } else {
            bin = localBin;
            rate = localRate;
        }
        // In a pause the averages only fade and noise takes over their peaks: the tone goes on
        // moving as it did, and is found there when the keying comes back.
        float recent = 1e-30f;
        for (int k = std::max(m_firstBin, current - m_trackBins);
             k <= std::min(m_lastBin, current + m_trackBins); ++k) {
            recent = std::max(recent, m_bank.fast(k));
        }
        shown = recent / floor;
        m_keyed = 10 * std::log10(shown) >= keyedDb;
        if (m_keyed) {
            m_keyedAt = now;
        }
        const float elsewhere = std::max(below, above) / floor;
        const float band =
            10 * std::log10(elsewhere) < cameUpDb ? 1.0f : m_bank.fastMedian(m_firstBin, m_lastBin) / floor;
        m_elsewhere[m_elsewhereNext] = { now, below > above ? belowBin : aboveBin, elsewhere, current,
            static_cast<float>(shown), band };
        m_elsewhereNext = (m_elsewhereNext + 1) % m_elsewhere.size();
        keyed = jumped || m_keyed;
        if (jumped) {
            m_jumpSeen = now;
            m_jumpAt = jumpOnset(bin * m_binHz, m_bank.rate(rate), floor, now);
        }
    }
    if (!m_locked) {
        m_keyed = false;
    }
    const double peakDb = 10 * std::log10(std::max(slow(rate, bin), m_bank.fast(bin)) / floor);
    if (peakDb >= acquireDb) {
        m_locked = true;
        m_weakFrames = 0;
    } else if (m_locked && ++m_weakFrames * m_hop > loseSeconds * m_sampleRate) {
        m_locked = false;
    }
    // The rate between the bank's steps, from the peaks of the neighbouring rates; an average
    // sliding a little slower than the tone holds it that much behind, about one averaging time.
    double rateOffset = 0.0;
    if (rate > 0 && rate + 1 < m_bank.rateCount()) {
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
        rateOffset =
            curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) * m_bank.rateStep() : 0.0;
    }
    const double estimate = interpolate(rate, bin) + rateOffset * m_bank.averageSeconds();
    const double step = slewHzPerSecond * hopSeconds;
    if (keyed) {
        m_frequency = jumped ? estimate : std::clamp(estimate, m_frequency - step, m_frequency + step);
        m_rate = m_bank.rate(rate) + rateOffset;
        // Just after a jump the bank's averages have held the new tone only briefly. A retuned
        // tone drifts on as before, and within one of the bank's steps of that, the drift measured
        // over the last seconds is the better rate, also to follow the new tone back to the jump.
        if (jumped) {
            const std::optional<double> measured = m_drift.rate(driftFitSeconds / hopSeconds);
            if (wasLocked && measured && std::abs(m_rate - *measured) < m_bank.rateStep()) {
                m_rate = *measured;
            }
            m_drift.clear();
        } else if (m_locked) {
            m_drift.add(m_frequency, shown);
        }
    } else {
        m_frequency = std::clamp(predicted, m_bandFirst * m_binHz, m_bandLast * m_binHz);
    }
    // A drift-matched average shows the tone where it is now, so each estimate holds for its own
    // moment; after a jump the moments since it began get the new tone.
    // On first finding a tone, what came before it followed noise peaks: the tone holds for it too.
    // The signal path runs long enough behind for more than one jump to lie ahead of it: the
    // first estimate after each keeps where it fell.
    const bool found = !wasLocked && m_locked;
    std::int64_t jumpBeforeNow = -1;
    m_jumpJustSeen = jumped && m_locked && m_jumpAt >= 0 && !found;
    if (m_jumpJustSeen) {
        // The old tone as last estimated before the jump, for redateJump().
        m_beforeJump = { predicted - m_rate * hopSeconds, m_rate, now - m_hop };
        for (const Estimate& e : m_history) {
            if (e.at >= 0 && e.at < m_jumpAt && (m_beforeJump.at >= m_jumpAt || e.at > m_beforeJump.at)) {
                m_beforeJump = e;
            }
        }
    }
    if ((jumped && m_locked && m_jumpAt >= 0) || found) {
        Estimate* first = nullptr;
        for (Estimate& e : m_history) {
            if (e.at >= 0 && (e.at >= m_jumpAt || found)) {
                e.hz = m_frequency - m_rate * static_cast<double>(now - e.at) / m_sampleRate;
                e.rate = m_rate;
                e.jumpAt = -1;
                first = first == nullptr || e.at < first->at ? &e : first;
                e.filled = true;
            }
        }
        if (!found) {
            (first != nullptr ? first->jumpAt : jumpBeforeNow) = m_jumpAt;
        }
    }
    if (jumped && m_locked && m_jumpAt >= 0 && !found) {
        // The new tone was the one followed from the jump on (give or take the short average's
        // length), not a tone away from it.
        const auto margin = static_cast<std::int64_t>(fastSeconds * m_sampleRate);
        for (Elsewhere& e : m_elsewhere) {
            if (e.at < m_jumpAt - margin) {
                continue;
            }
            const auto bin = static_cast<int>(std::lround(
                (m_frequency - m_rate * static_cast<double>(now - e.at) / m_sampleRate) / m_binHz));
            if (std::abs(e.bin - bin) <= elsewhereTrackWidths * m_trackBins) {
                e.own = std::max(e.own, e.level);
                e.level = 0.0f;
            }
            if (e.at >= m_jumpAt) {
                e.ownBin = bin;
            }
        }
    }

    const int peak = static_cast<int>(std::lround(m_frequency / m_binHz));
    const int nearBins = static_cast<int>(noiseNearHz / m_binHz) + 1;
    const int farBins = static_cast<int>(noiseFarHz / m_binHz);
    m_nearby.clear();
    const int low = std::max(1, peak - farBins);
    const int high = std::min(m_bins - 2, peak + farBins);
    m_bank.appendSlow(rate, low, std::min(high, peak - nearBins), m_nearby);
    m_bank.appendSlow(rate, std::max(low, peak + nearBins), high, m_nearby);
    if (!m_nearby.empty()) {
        auto mid = m_nearby.begin() + static_cast<std::ptrdiff_t>(m_nearby.size() / 2);
        std::nth_element(m_nearby.begin(), mid, m_nearby.end());
        m_noiseVariance = *mid / m_bank.windowEnergy();
    }
    m_history[m_historyNext] = { m_frequency, m_rate, now, jumpBeforeNow, m_noiseVariance,
        m_locked && m_keyed };
    m_afterJump = m_history[m_historyNext];
    m_historyNext = (m_historyNext + 1) % m_history.size();
}

} // namespace cwaudio
