// SPDX-License-Identifier: GPL-3.0-or-later
#include "tick_history.h"

namespace cwaudio {

TickHistory::TickHistory(std::size_t capacity)
    : m_sums(capacity + 1)
{
}

void TickHistory::push(std::complex<float> tick)
{
    m_total += std::complex<double>(tick);
    ++m_count;
    m_sums[static_cast<std::size_t>(m_count % static_cast<std::int64_t>(m_sums.size()))] = m_total;
}

bool TickHistory::holds(std::int64_t first, std::int64_t last) const
{
    return first >= 0 && first <= last && last <= m_count &&
        m_count - first < static_cast<std::int64_t>(m_sums.size());
}

std::complex<double> TickHistory::runningSum(std::int64_t index) const
{
    return m_sums[static_cast<std::size_t>(index % static_cast<std::int64_t>(m_sums.size()))];
}

std::complex<double> TickHistory::sum(std::int64_t first, std::int64_t last) const
{
    return runningSum(last) - runningSum(first);
}

} // namespace cwaudio
