// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>
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

private:
    std::complex<double> runningSum(std::int64_t index) const;

    std::vector<std::complex<double>> m_sums; // ring: sum of all ticks before index
    std::complex<double> m_total;
    std::int64_t m_count = 0;
};

} // namespace cwaudio
