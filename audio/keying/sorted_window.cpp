// SPDX-License-Identifier: GPL-3.0-or-later
#include "sorted_window.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

SortedWindow::SortedWindow(std::size_t capacity)
    : m_arrivals(std::max<std::size_t>(capacity, 1))
{
    m_sorted.reserve(m_arrivals.size());
}

void SortedWindow::reset(std::size_t capacity)
{
    m_arrivals.resize(std::max<std::size_t>(capacity, 1));
    m_sorted.clear();
    m_oldest = 0;
    m_count = 0;
}

void SortedWindow::push(float value)
{
    if (m_count == m_arrivals.size()) {
        keepNewest(m_count - 1);
    }
    m_arrivals[(m_oldest + m_count) % m_arrivals.size()] = value;
    ++m_count;
    m_sorted.insert(std::upper_bound(m_sorted.begin(), m_sorted.end(), value), value);
}

void SortedWindow::keepNewest(std::size_t count)
{
    while (m_count > count) {
        erase(m_arrivals[m_oldest]);
        m_oldest = (m_oldest + 1) % m_arrivals.size();
        --m_count;
    }
}

void SortedWindow::erase(float value)
{
    auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), value);
    if (it == m_sorted.end() || !(*it == value)) {
        // A NaN is nowhere in order: look for it value by value, so the two views never part.
        it = std::find_if(m_sorted.begin(), m_sorted.end(),
            [value](float held) { return held == value || (std::isnan(held) && std::isnan(value)); });
    }
    if (it != m_sorted.end()) {
        m_sorted.erase(it);
    }
}

SortedWindow::Upper SortedWindow::above(double threshold) const
{
    const auto first = std::upper_bound(m_sorted.begin(), m_sorted.end(), threshold,
        [](double t, float value) { return t < static_cast<double>(value); });
    // Four sums side by side, so the additions need not wait for one another. Values over a
    // threshold set by the window itself lie within a few powers of two of each other: as a rule
    // their sum in doubles is exact, in whatever order it is taken.
    double sums[4] = { 0.0, 0.0, 0.0, 0.0 };
    auto it = first;
    for (; m_sorted.end() - it >= 4; it += 4) {
        sums[0] += it[0];
        sums[1] += it[1];
        sums[2] += it[2];
        sums[3] += it[3];
    }
    for (; it != m_sorted.end(); ++it) {
        sums[0] += *it;
    }
    return { static_cast<std::size_t>(m_sorted.end() - first), (sums[0] + sums[1]) + (sums[2] + sums[3]) };
}

} // namespace cwaudio
