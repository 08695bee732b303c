// SPDX-License-Identifier: GPL-3.0-or-later
#include "tick_history.h"

#include <algorithm>

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

void TickHistory::losePhase(std::int64_t first, std::int64_t last)
{
    add(m_phaseLost, first, last, begin());
}

void TickHistory::loseTone(std::int64_t first, std::int64_t last)
{
    add(m_toneLost, first, last, begin());
}

void TickHistory::blurTone(std::int64_t first, std::int64_t last)
{
    add(m_toneBlurred, first, last, begin());
}

void TickHistory::add(Spans& spans, std::int64_t first, std::int64_t last, std::int64_t oldest)
{
    if (last <= first) {
        return;
    }
    if (!spans.empty() && first <= spans.back().second) {
        spans.back().first = std::min(spans.back().first, first);
        spans.back().second = std::max(spans.back().second, last);
    } else {
        spans.emplace_back(first, last);
    }
    while (!spans.empty() && spans.front().second < oldest) {
        spans.pop_front();
    }
}

bool TickHistory::overlaps(const Spans& spans, std::int64_t first, std::int64_t last)
{
    return std::ranges::any_of(
        spans, [&](const auto& span) { return span.first < last && first < span.second; });
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
