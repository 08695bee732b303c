// SPDX-License-Identifier: GPL-3.0-or-later
#include "tick_likelihood.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cwaudio {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// A mark may come out somewhat stronger than its neighbours (fading, a rough estimate); one
// weaker than them counts as weaker, or noise would pass for keying too easily.
constexpr double strongest = 1.6;
// Spread of a steady hand's element lengths around whole units, in log units.
constexpr double durationSpread = 0.15;
// Where the tone may have been lost, the share of ticks that were filtered off it.
constexpr double offToneShare = 0.5;

// A tick's mark likelihood ratio (log) where the filter was off the tone `offToneShare` of the
// time: there a mark looks like noise, so a quiet tick argues little against one, while noise
// still argues for one no more than it does anywhere (keeping only the ticks that argue for a mark
// would add up noise into marks).
double offToneLlr(double llr)
{
    return llr > 0.0 ? llr + std::log((1.0 - offToneShare) + offToneShare * std::exp(-llr))
                     : std::log(offToneShare + (1.0 - offToneShare) * std::exp(llr));
}

// log I0(x), after Abramowitz and Stegun 9.8.1 and 9.8.2.
double logBesselI0(double x)
{
    if (x < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        return std::log(1.0 +
            t *
                (3.5156229 +
                    t * (3.0899424 + t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
    }
    const double u = 3.75 / x;
    const double poly = 0.39894228 +
        u *
            (0.01328592 +
                u *
                    (0.00225319 +
                        u *
                            (-0.00157565 +
                                u *
                                    (0.00916281 +
                                        u *
                                            (-0.02057706 +
                                                u * (0.02635537 + u * (-0.01647633 + u * 0.00392377)))))));
    return x - 0.5 * std::log(x) + std::log(poly);
}

} // namespace

double durationCost(int cells, int nominal)
{
    const double z = std::log(static_cast<double>(cells) / nominal) / durationSpread;
    return 0.5 * z * z;
}

TickLikelihood::TickLikelihood(const TickHistory& ticks, double origin, int cells, double noise, double dot)
    : m_ticks(ticks)
    , m_origin(origin)
    , m_cells(cells)
    , m_noise(noise)
    , m_dot(dot)
    , m_cell(dot / cellsPerUnit)
{
    if (m_cells <= 0 || noise <= 0.0 ||
        !ticks.holds(std::llround(origin), std::llround(origin + (m_cells + dashMax) * m_cell))) {
        m_cells = 0;
        return;
    }
    const auto size = index(m_cells + 1, 0);
    m_dots.assign(size, -infinity);
    m_dashes.assign(size, -infinity);
    m_amplitudes.assign(static_cast<std::size_t>(m_cells) + 1, 0.0);
    m_pieces.assign((static_cast<std::size_t>(m_cells) + 1) * 2 * pieceCells, -infinity);
}

double TickLikelihood::amplitudeOver(double first, double last) const
{
    const auto a = std::llround(first);
    const auto b = std::llround(last);
    if (b <= a || !m_ticks.holds(a, b)) {
        return 0.0;
    }
    const auto n = static_cast<double>(b - a);
    return std::sqrt(std::max(std::norm(m_ticks.sum(a, b)) / (n * n) - m_noise / n, 0.0));
}

double TickLikelihood::energyOverNoise(int first, int length) const
{
    const double middle = m_origin + (first + 0.5 * length) * m_cell;
    const double half =
        0.5 * std::min(static_cast<double>(length), static_cast<double>(cellsPerUnit)) * m_cell;
    const auto a = std::llround(middle - half);
    const auto b = std::max(std::llround(middle + half), a + 1);
    if (!m_ticks.holds(a, b)) {
        return 0.0;
    }
    return std::norm(m_ticks.sum(a, b)) / (static_cast<double>(b - a) * m_noise) - 1.0;
}

double TickLikelihood::unitEnergy(int cell) const
{
    const double a = m_amplitudes[static_cast<std::size_t>(std::clamp(cell, 0, m_cells))];
    return a * a * m_dot / m_noise;
}

double TickLikelihood::pieceLlr(int first, int last, double amplitude) const
{
    const std::int64_t a = std::llround(m_origin + first * m_cell);
    const std::int64_t b = std::llround(m_origin + last * m_cell);
    if (b <= a) {
        return 0.0;
    }
    // Where the phase was lost the ticks cannot be summed: each speaks for itself; where the tone
    // may have been lost, hardly against a mark, since keying filtered off the tone leaves no trace.
    if (m_ticks.phaseLost(a, b)) {
        const bool offTone = m_ticks.quietSaysLittle(a, b);
        double llr = 0.0;
        for (std::int64_t k = a; k < b; ++k) {
            const double tick = markLlr(std::abs(m_ticks.sum(k, k + 1)), 1.0, amplitude);
            llr += offTone ? offToneLlr(tick) : tick;
        }
        return llr;
    }
    return markLlr(std::abs(m_ticks.sum(a, b)), static_cast<double>(b - a), amplitude);
}

bool TickLikelihood::phaseKept(int first, int length) const
{
    return !m_ticks.phaseLost(
        std::llround(m_origin + first * m_cell), std::llround(m_origin + (first + length) * m_cell));
}

double TickLikelihood::markLlr(double magnitude, double n, double amplitude) const
{
    const double level = std::clamp(magnitude / n, amplitude, strongest * amplitude);
    return logBesselI0(2.0 * level * magnitude / m_noise) - n * level * level / m_noise;
}

void TickLikelihood::setAmplitude(int from, int to, double amplitude)
{
    for (int j = std::max(from, 0); j < std::min(to, m_cells); ++j) {
        const auto k = static_cast<std::size_t>(j);
        m_amplitudes[k] = amplitude;
        for (int length = 1; length < 2 * pieceCells; ++length) {
            m_pieces[k * 2 * pieceCells + static_cast<std::size_t>(length)] =
                j + length <= m_cells ? pieceLlr(j, j + length, amplitude) : -infinity;
        }
    }
}

void TickLikelihood::scaleAmplitudes(double factor)
{
    for (int j = 0; j < m_cells; ++j) {
        setAmplitude(j, j + 1, factor * m_amplitudes[static_cast<std::size_t>(j)]);
    }
    prepare();
}

double TickLikelihood::piece(int first, int length) const
{
    return m_pieces[static_cast<std::size_t>(first) * 2 * pieceCells + static_cast<std::size_t>(length)];
}

void TickLikelihood::prepare()
{
    // The tone's phase wanders over a long mark, so a mark is summed a piece at a time, the last
    // piece taking what is left over.
    for (int j = 0; j < m_cells; ++j) {
        double whole = 0.0; // the full pieces before the last
        for (int d = dotMin; d <= dashMax && j + d <= m_cells; ++d) {
            const int full = d / pieceCells - 1;
            if (full > 0 && d % pieceCells == 0) {
                whole += piece(j + (full - 1) * pieceCells, pieceCells);
            }
            const int lastFirst = std::max(full, 0) * pieceCells;
            const double llr = (full > 0 ? whole : 0.0) + piece(j + lastFirst, d - lastFirst);
            if (d <= dotMax) {
                m_dots[index(j, d)] = llr - durationCost(d, cellsPerUnit);
            }
            if (d >= dashMin) {
                m_dashes[index(j, d)] = llr - durationCost(d, 3 * cellsPerUnit);
            }
        }
    }
}

} // namespace cwaudio
