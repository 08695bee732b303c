// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tick_history.h"

#include <vector>

namespace cwaudio {

// How likely the baseband ticks make a mark, against noise alone, for every mark of a dot's or a
// dash's length placed on a grid of quarter units over a stretch of ticks.
class TickLikelihood
{
public:
    static constexpr int cellsPerUnit = 4;
    static constexpr int dotMin = 2;
    static constexpr int dotMax = 7;
    static constexpr int dashMin = 7;
    static constexpr int dashMax = 19;
    // Between the elements of a character.
    static constexpr int elementGapMin = 2;
    static constexpr int elementGapMax = 7;
    // Marks are summed coherently half a unit at a time: under fast Doppler the followed tone is a
    // few hertz off, and over a whole unit at slow speeds its phase turns far enough to cancel.
    static constexpr int pieceCells = 2;

    // Cell 0 starts at tick `origin`; `noise` is the complex noise variance of one tick, `dot` one
    // unit in ticks. Holds nothing when the ticks are no longer all held.
    TickLikelihood(const TickHistory& ticks, double origin, int cells, double noise, double dot);

    bool valid() const { return m_cells > 0; }
    int cells() const { return m_cells; }
    // The cell a tick falls in.
    double cellOf(double tick) const { return (tick - m_origin) / m_cell; }

    // The key-down amplitude the likelihoods below assume in cells [from, to); then prepare().
    void setAmplitude(int from, int to, double amplitude);
    void prepare();
    // Every cell's amplitude times `factor`, prepared.
    void scaleAmplitudes(double factor);
    // Log-likelihood (nats) of a mark over cells [first, first + length), against noise alone,
    // including how well its length fits a dot (or a dash) of a steady hand.
    double dotAt(int first, int length) const { return m_dots[index(first, length)]; }
    double dashAt(int first, int length) const { return m_dashes[index(first, length)]; }

    // Whether the ticks of cells [first, first + length) kept their phase (see TickHistory).
    bool phaseKept(int first, int length) const;

    // Energy over noise density of a unit-long mark starting at `cell`, at the amplitude assumed
    // there: what a whole dot scores, roughly, when it is there.
    double unitEnergy(int cell) const;

    // Energy of a mark over cells [first, first + length) above what noise alone brings, in units of
    // the noise's: summed coherently over at most a unit from its middle, where the phase holds.
    // Noise alone makes it 0 on average and above 2 one time in 20.
    double energyOverNoise(int first, int length) const;

    // Key-down amplitude measured over ticks [first, last): the mark's own.
    double amplitudeOver(double first, double last) const;

private:
    std::size_t index(int first, int length) const
    {
        return static_cast<std::size_t>(first) * (dashMax + 1) + static_cast<std::size_t>(length);
    }
    double pieceLlr(int first, int last, double amplitude) const;
    // Log-likelihood of a mark at `amplitude` against noise, from the magnitude of `n` ticks summed.
    double markLlr(double magnitude, double n, double amplitude) const;
    double piece(int first, int length) const;

    const TickHistory& m_ticks;
    double m_origin;
    int m_cells;
    double m_noise;
    double m_dot;
    double m_cell;
    std::vector<double> m_amplitudes; // per cell
    // Log-likelihood of a piece of 1 to 2 * pieceCells - 1 cells from each cell on.
    std::vector<double> m_pieces;
    std::vector<double> m_dots;
    std::vector<double> m_dashes;
};

// Cost in nats of an element `cells` long that should be `nominal` cells, for a steady hand.
double durationCost(int cells, int nominal);

} // namespace cwaudio
