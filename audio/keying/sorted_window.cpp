// SPDX-License-Identifier: GPL-3.0-or-later
#include "sorted_window.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cwaudio {

namespace {

// The first of the `count` sorted values that `before` does not hold for (a binary search
// without branches: where a value falls in a window of noise is anyone's guess).
template<typename Before>
std::size_t partitionPoint(const float* sorted, std::size_t count, Before before)
{
    const float* first = sorted;
    while (count > 1) {
        const std::size_t half = count / 2;
        first = before(first[half - 1]) ? first + half : first;
        count -= half;
    }
    return static_cast<std::size_t>(first - sorted) + (count == 1 && before(*first) ? 1 : 0);
}

// The sum of [from, to) in four sums side by side, so the additions need not wait for one
// another. Values over a threshold set by the window itself lie within a few powers of two of
// each other: as a rule their sums and differences in doubles are exact, in whatever order they
// are taken.
double sumOf(const float* from, const float* to)
{
    std::array<double, 4> sums {};
    for (; to - from >= 4; from += 4) {
        sums[0] += from[0];
        sums[1] += from[1];
        sums[2] += from[2];
        sums[3] += from[3];
    }
    for (; from != to; ++from) {
        sums[0] += *from;
    }
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

} // namespace

SortedWindow::SortedWindow(std::size_t capacity)
{
    reset(capacity);
}

void SortedWindow::reset(std::size_t capacity)
{
    m_arrivals.resize(std::max<std::size_t>(capacity, 1));
    m_sorted.clear();
    m_sorted.reserve(m_arrivals.size());
    m_oldest = 0;
    m_count = 0;
}

std::size_t SortedWindow::find(float value) const
{
    const std::size_t at =
        partitionPoint(m_sorted.data(), m_sorted.size(), [value](float held) { return held < value; });
    if (at < m_sorted.size() && m_sorted[at] == value) {
        return at;
    }
    // A NaN is nowhere in order: looked for value by value, so the two views never part.
    const auto it = std::ranges::find_if(
        m_sorted, [value](float held) { return held == value || (std::isnan(held) && std::isnan(value)); });
    return static_cast<std::size_t>(it - m_sorted.begin());
}

void SortedWindow::push(float value, std::size_t keep)
{
    keep = std::min(keep, m_arrivals.size());
    keepNewest(keep);
    if (keep == 0) {
        return;
    }
    const std::size_t to =
        partitionPoint(m_sorted.data(), m_sorted.size(), [value](float held) { return !(value < held); });
    if (m_count < keep) {
        m_arrivals[(m_oldest + m_count) % m_arrivals.size()] = value;
        ++m_count;
        m_sorted.insert(m_sorted.begin() + static_cast<std::ptrdiff_t>(to), value);
        return;
    }
    // Full: the newest takes the oldest's place, and only the values between the two move.
    const std::size_t from = find(m_arrivals[m_oldest]);
    m_arrivals[(m_oldest + m_count) % m_arrivals.size()] = value;
    m_oldest = (m_oldest + 1) % m_arrivals.size();
    float* const sorted = m_sorted.data();
    if (from == m_sorted.size()) {
        return; // cannot happen: every value in arrival order is held sorted
    }
    if (to > from) {
        std::copy(sorted + from + 1, sorted + to, sorted + from);
        sorted[to - 1] = value;
    } else {
        std::copy_backward(sorted + to, sorted + from, sorted + from + 1);
        sorted[to] = value;
    }
}

void SortedWindow::keepNewest(std::size_t count)
{
    while (m_count > count) {
        const std::size_t at = find(m_arrivals[m_oldest]);
        if (at < m_sorted.size()) {
            m_sorted.erase(m_sorted.begin() + static_cast<std::ptrdiff_t>(at));
        }
        m_oldest = (m_oldest + 1) % m_arrivals.size();
        --m_count;
    }
}

std::size_t SortedWindow::firstAbove(double threshold) const
{
    return partitionPoint(m_sorted.data(), m_sorted.size(),
        [threshold](float held) { return !(static_cast<double>(held) > threshold); });
}

SortedWindow::Upper SortedWindow::above(double threshold) const
{
    const std::size_t first = firstAbove(threshold);
    return { m_sorted.size() - first, sumOf(m_sorted.data() + first, m_sorted.data() + m_sorted.size()) };
}

SortedWindow::Upper SortedWindow::above(double threshold, const Upper& nearby) const
{
    const std::size_t first = firstAbove(threshold);
    const std::size_t was = m_sorted.size() - nearby.count;
    const float* const sorted = m_sorted.data();
    const double sum = first <= was ? nearby.sum + sumOf(sorted + first, sorted + was)
                                    : nearby.sum - sumOf(sorted + was, sorted + first);
    return { m_sorted.size() - first, sum };
}

} // namespace cwaudio
