// SPDX-License-Identifier: GPL-3.0-or-later
#include "impulse_blanker.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

namespace {

constexpr double pieceSeconds = 0.002;
// Pieces either side a piece is judged against: a crash over the blanking level lasts a few
// milliseconds at most, and the shortest element of any Morse station here 40 ms.
constexpr int piecesAround = 4;
// Over the median piece's mean magnitude: noise reaches 4 times it about once in 10^5 samples
// and never stays there a whole piece; a sine's peak is 1.6 times its mean magnitude.
constexpr float sampleOver = 10.0f;
constexpr float pieceOver = 4.0f;

} // namespace

ImpulseBlanker::ImpulseBlanker(double sampleRate)
    : m_piece(std::max(1, static_cast<int>(std::lround(pieceSeconds * sampleRate))))
    , m_ring(static_cast<std::size_t>((piecesAround + 1) * m_piece), 0.0f)
    , m_levels(2 * piecesAround + 1, 0.0f)
    , m_peaks(2 * piecesAround + 1, 0.0f)
{
}

void ImpulseBlanker::process(std::span<float> samples)
{
    for (float& sample : samples) {
        const float in = sample;
        sample = m_ring[m_pos];
        m_ring[m_pos] = in;
        m_pos = m_pos + 1 == m_ring.size() ? 0 : m_pos + 1;
        m_sum += std::abs(in);
        m_peak = std::max(m_peak, std::abs(in));
        if (++m_fill == m_piece) {
            judgePiece();
            m_sum = 0.0f;
            m_peak = 0.0f;
            m_fill = 0;
        }
    }
}

void ImpulseBlanker::judgePiece()
{
    m_levels[m_levelPos] = m_sum / static_cast<float>(m_piece);
    m_peaks[m_levelPos] = m_peak;
    m_levelPos = m_levelPos + 1 == m_levels.size() ? 0 : m_levelPos + 1;
    // The piece in the middle of the levels is the oldest in the ring, about to go out.
    const std::size_t middlePiece = (m_levelPos + piecesAround) % m_levels.size();
    const float level = m_levels[middlePiece];
    // Most pieces stand out not even against the lowest around them.
    const float lowest = *std::min_element(m_levels.begin(), m_levels.end());
    if (m_peaks[middlePiece] <= sampleOver * lowest && level <= pieceOver * lowest) {
        return;
    }
    m_sorted.assign(m_levels.begin(), m_levels.end());
    const auto middle = m_sorted.begin() + piecesAround;
    std::nth_element(m_sorted.begin(), middle, m_sorted.end());
    const float around = *middle;
    if (around <= 0.0f) {
        return;
    }
    const bool wholePiece = level > pieceOver * around;
    if (!wholePiece && m_peaks[middlePiece] <= sampleOver * around) {
        return;
    }
    // The piece starts at m_pos and may run over the ring's end.
    const std::size_t first = std::min(static_cast<std::size_t>(m_piece), m_ring.size() - m_pos);
    for (const auto run : { std::span<float>(m_ring).subspan(m_pos, first),
             std::span<float>(m_ring).first(static_cast<std::size_t>(m_piece) - first) }) {
        for (float& s : run) {
            if (wholePiece || std::abs(s) > sampleOver * around) {
                s = 0.0f;
            }
        }
    }
}

} // namespace cwaudio
