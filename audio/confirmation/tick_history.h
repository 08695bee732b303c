// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace cwaudio {

// The last stretch of baseband ticks, kept as running sums so the sum over any span in it costs
// two lookups. Ticks are numbered from the start of the input.
class TickHistory
{
public:
    explicit TickHistory(std::size_t capacity);

    void push(std::complex<float> tick);

    // The oldest tick still held.
    std::int64_t begin() const
    {
        return std::max<std::int64_t>(0, m_count - static_cast<std::int64_t>(m_sums.size()) + 1);
    }
    // One past the newest tick.
    std::int64_t end() const { return m_count; }
    // Whether every tick of [first, last) is still held.
    bool holds(std::int64_t first, std::int64_t last) const;
    // Sum of the ticks in [first, last); the span must be held.
    std::complex<double> sum(std::int64_t first, std::int64_t last) const;

    // Ticks [first, last) keep no steady phase (filtered while the tone jumped, or just after,
    // while its new estimate settles): there only their amplitudes say anything.
    void losePhase(std::int64_t first, std::int64_t last);
    // Ticks [first, last) may have been filtered off the tone altogether (between where a jump may
    // have fallen and where the filter followed it): there a quiet tick says little.
    void loseTone(std::int64_t first, std::int64_t last);
    // Ticks [first, last) lie within a block or two of a jump the samples dated: there too a quiet
    // tick says little, but they are too few to hide an element, so a reading over them stands.
    void blurTone(std::int64_t first, std::int64_t last);
    // Whether any tick of [first, last) lost its phase, or the tone.
    bool phaseLost(std::int64_t first, std::int64_t last) const { return overlaps(m_phaseLost, first, last); }
    bool toneLost(std::int64_t first, std::int64_t last) const { return overlaps(m_toneLost, first, last); }
    // Whether a quiet tick of [first, last) says little: the tone lost or blurred there.
    bool quietSaysLittle(std::int64_t first, std::int64_t last) const
    {
        return toneLost(first, last) || overlaps(m_toneBlurred, first, last);
    }

private:
    using Spans = std::deque<std::pair<std::int64_t, std::int64_t>>; // oldest first, merged
    // Adds [first, last) to `spans`, dropping those that end before `oldest`.
    static void add(Spans& spans, std::int64_t first, std::int64_t last, std::int64_t oldest);
    static bool overlaps(const Spans& spans, std::int64_t first, std::int64_t last);
    std::complex<double> runningSum(std::int64_t index) const;

    std::vector<std::complex<double>> m_sums; // ring: sum of all ticks before index
    std::complex<double> m_total;
    std::int64_t m_count = 0;
    Spans m_phaseLost;
    Spans m_toneLost;
    Spans m_toneBlurred;
};

} // namespace cwaudio
