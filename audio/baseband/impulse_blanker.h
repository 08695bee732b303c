// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

namespace cwaudio {

// Static crashes: a burst far over everything around it that dies away within milliseconds is
// blanked before the tone filter sees it, so it neither keys a mark nor reads as one. A tone,
// however strong, and its keying edges are left alone: each stretch of a few milliseconds is
// judged against the level of those around it, so the output runs that far behind the input.
class ImpulseBlanker
{
public:
    explicit ImpulseBlanker(double sampleRate);

    // Blanks in place; what comes out is the input of delay() samples before (zeros at first).
    void process(std::span<float> samples);
    int delay() const { return static_cast<int>(m_ring.size()); }

private:
    void judgePiece();

    int m_piece; // samples a level is taken over
    std::vector<float> m_ring; // the samples not yet given out, oldest at m_pos
    std::size_t m_pos = 0;
    std::vector<float> m_levels; // mean magnitude of the last pieces, oldest at m_levelPos
    std::vector<float> m_peaks; // ...and their largest
    std::size_t m_levelPos = 0;
    std::vector<float> m_sorted;
    float m_sum = 0.0f;
    float m_peak = 0.0f;
    int m_fill = 0;
};

} // namespace cwaudio
