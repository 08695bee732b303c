// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

namespace cwaudio {

// The last values of a stream, held both in arrival order and sorted, so that a percentile is a
// lookup and the values over a threshold a binary search: a window that slides by a few values
// costs a few insertions, not a selection over all of it.
class SortedWindow
{
public:
    explicit SortedWindow(std::size_t capacity = 0);

    // Empties the window, which from now on holds at most `capacity` values.
    void reset(std::size_t capacity);
    // Adds the newest value and keeps the newest `keep` (at most the capacity).
    void push(float value, std::size_t keep);
    // Drops the oldest values until `count` are held.
    void keepNewest(std::size_t count);

    std::size_t size() const { return m_sorted.size(); }
    // The `rank`-th smallest value held; `rank` < size().
    float atRank(std::size_t rank) const { return m_sorted[rank]; }

    struct Upper
    {
        std::size_t count = 0;
        double sum = 0.0;
    };
    // How many of the values held exceed `threshold`, and their sum.
    Upper above(double threshold) const;
    // The same, worked out from what it was for a threshold nearby.
    Upper above(double threshold, const Upper& nearby) const;

private:
    // The first place holding a value over `threshold`.
    std::size_t firstAbove(double threshold) const;
    // Where `value` is held.
    std::size_t find(float value) const;

    std::vector<float> m_sorted;
    std::vector<float> m_arrivals; // ring, oldest at m_oldest
    std::size_t m_oldest = 0;
    std::size_t m_count = 0;
};

} // namespace cwaudio
