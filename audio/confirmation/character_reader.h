// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "morse_table.h"
#include "tick_likelihood.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <vector>

namespace cwaudio {

// A score for each cell of a tick grid.
using Scores = std::vector<double>;

// The cells a character may lie in.
struct Beam
{
    int lo;
    int hi; // inclusive
};

// Reads Morse characters over the likelihoods of a tick grid: the best score of each character
// ending (starting) at each cell within a beam, given the scores of what comes before (after) it.
class CharacterReader
{
public:
    explicit CharacterReader(const TickLikelihood& ticks);

    // Scores with the character's last element ending at each cell, from `start` (the score with
    // its first element starting at each cell).
    void forward(std::string_view code, const Scores& start, Scores& end, Beam beam)
    {
        m_codes.assign({ MorseCode { '\0', code } });
        walk<true>(start, beam, 0, [&](char, const Scores& scores) { copy(scores, end, beam); });
    }

    // Scores with the character's first element starting at each cell, given `end` (the score of
    // what follows, with its last element ending at each cell).
    void backward(std::string_view code, const Scores& end, Scores& start, Beam beam)
    {
        m_codes.assign({ MorseCode { '\0', code } });
        walk<false>(end, beam, 0, [&](char, const Scores& scores) { copy(scores, start, beam); });
    }

    // forward (backward) for each of `symbols`, handing `visit` the symbol and its scores, in no
    // set order. Codes that begin (end) alike share the reading of what they share: scoring every
    // letter and digit reads a third of the elements it would one by one.
    template<typename Visit>
    void forwardEach(std::string_view symbols, const Scores& start, Beam beam, Visit visit)
    {
        codesOf(symbols);
        walk<true>(start, beam, 0, visit);
    }

    template<typename Visit>
    void backwardEach(std::string_view symbols, const Scores& end, Beam beam, Visit visit)
    {
        codesOf(symbols);
        walk<false>(end, beam, 0, visit);
    }

private:
    void codesOf(std::string_view symbols);

    // Only the beam is ever read or written.
    static void copy(const Scores& from, Scores& to, Beam beam)
    {
        std::copy(from.begin() + beam.lo, from.begin() + beam.hi + 1, to.begin() + beam.lo);
    }

    // Element `k` of `code` in the order it is read.
    template<bool Forwards>
    static char elementAt(std::string_view code, std::size_t k)
    {
        return Forwards ? code[k] : code[code.size() - 1 - k];
    }

    // Whether `code` goes on from the `depth` elements on m_path.
    template<bool Forwards>
    bool follows(std::string_view code, std::size_t depth) const
    {
        if (code.size() < depth) {
            return false;
        }
        for (std::size_t k = 0; k < depth; ++k) {
            if (elementAt<Forwards>(code, k) != m_path[k]) {
                return false;
            }
        }
        return true;
    }

    // `here` holds the scores of the `depth` elements on m_path; reads on into every code that goes
    // on from there.
    template<bool Forwards, typename Visit>
    void walk(const Scores& here, Beam beam, std::size_t depth, Visit&& visit)
    {
        std::array<bool, 2> onwards {};
        for (const auto& [symbol, code] : m_codes) {
            if (!follows<Forwards>(code, depth)) {
                continue;
            }
            if (code.size() == depth) {
                visit(symbol, here);
            } else {
                onwards[elementAt<Forwards>(code, depth) == '.' ? 0 : 1] = true;
            }
        }
        if (!onwards[0] && !onwards[1]) {
            return;
        }
        const Scores* from = &here;
        if (depth > 0) {
            layer<Forwards>(here, m_gaps[depth], beam, TickLikelihood::elementGapMin, TickLikelihood::elementGapMax,
                [this](int, int d) { return -m_gapCost[static_cast<std::size_t>(d)]; });
            from = &m_gaps[depth];
        }
        for (const char element : { '.', '-' }) {
            if (!onwards[element == '.' ? 0 : 1]) {
                continue;
            }
            if (element == '.') {
                layer<Forwards>(*from, m_marks[depth + 1], beam, TickLikelihood::dotMin, TickLikelihood::dotMax,
                    [this](int j, int d) { return m_t.dotAt(j, d); });
            } else {
                layer<Forwards>(*from, m_marks[depth + 1], beam, TickLikelihood::dashMin,
                    TickLikelihood::dashMax, [this](int j, int d) { return m_t.dashAt(j, d); });
            }
            m_path[depth] = element;
            walk<Forwards>(m_marks[depth + 1], beam, depth + 1, visit);
        }
    }

    // One element or gap of `lo`..`hi` cells after `in`, ending at each cell (forwards) or starting
    // there.
    template<bool Forwards, typename Score>
    static void layer(const Scores& in, Scores& out, Beam beam, int lo, int hi, Score score)
    {
        for (int j = beam.lo; j <= beam.hi; ++j) {
            constexpr double infinity = std::numeric_limits<double>::infinity();
            double best = -infinity;
            for (int d = lo; d <= hi; ++d) {
                const int other = Forwards ? j - d : j + d;
                if (other < beam.lo || other > beam.hi) {
                    break;
                }
                const double known = in[static_cast<std::size_t>(other)];
                if (known != -infinity) {
                    best = std::max(best, known + score(Forwards ? other : j, d));
                }
            }
            out[static_cast<std::size_t>(j)] = best;
        }
    }

    const TickLikelihood& m_t;
    // The cost of each length of space between the elements of a character.
    std::array<double, TickLikelihood::elementGapMax + 1> m_gapCost {};
    std::vector<MorseCode> m_codes;
    // By depth: the scores after that many elements, and after the gap that follows them.
    std::vector<Scores> m_marks;
    std::vector<Scores> m_gaps;
    std::vector<char> m_path;
};

} // namespace cwaudio
