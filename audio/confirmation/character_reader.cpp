// SPDX-License-Identifier: GPL-3.0-or-later
#include "character_reader.h"

#include <algorithm>
#include <limits>

namespace cwaudio {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

std::size_t longestCode()
{
    std::size_t longest = 0;
    for (const char symbol : morseCodes()) {
        longest = std::max(longest, morseCodeOf(symbol).size());
    }
    return longest;
}

// Only the beam is ever read or written.
void copy(const Scores& from, Scores& to, Beam beam)
{
    std::copy(from.begin() + beam.lo, from.begin() + beam.hi + 1, to.begin() + beam.lo);
}

// Element `k` of `code` in the order it is read.
template<bool Forwards>
char elementAt(std::string_view code, std::size_t k)
{
    return Forwards ? code[k] : code[code.size() - 1 - k];
}

// One element or space of `lo`..`hi` cells after `in`, ending at each cell (forwards) or starting
// there.
template<bool Forwards, typename Score>
void layer(const Scores& in, Scores& out, Beam beam, int lo, int hi, Score score)
{
    for (int j = beam.lo; j <= beam.hi; ++j) {
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

} // namespace

CharacterReader::CharacterReader(const TickLikelihood& ticks)
    : m_t(ticks)
    , m_marks(longestCode() + 1, Scores(static_cast<std::size_t>(ticks.cells() + 1)))
    , m_gaps(m_marks)
    , m_path(longestCode())
{
    for (int d = TickLikelihood::elementGapMin; d <= TickLikelihood::elementGapMax; ++d) {
        m_gapCost[static_cast<std::size_t>(d)] = durationCost(d, TickLikelihood::cellsPerUnit);
    }
}

void CharacterReader::forward(std::string_view code, const Scores& start, Scores& end, Beam beam)
{
    m_codes.assign({ MorseCode { '\0', code } });
    walk<true>(start, beam, 0, [&](char, const Scores& scores) { copy(scores, end, beam); });
}

void CharacterReader::backward(std::string_view code, const Scores& end, Scores& start, Beam beam)
{
    m_codes.assign({ MorseCode { '\0', code } });
    walk<false>(end, beam, 0, [&](char, const Scores& scores) { copy(scores, start, beam); });
}

void CharacterReader::forwardEach(
    std::string_view symbols, const Scores& start, Beam beam, const Visit& visit)
{
    codesOf(symbols);
    walk<true>(start, beam, 0, visit);
}

void CharacterReader::backwardEach(std::string_view symbols, const Scores& end, Beam beam, const Visit& visit)
{
    codesOf(symbols);
    walk<false>(end, beam, 0, visit);
}

void CharacterReader::codesOf(std::string_view symbols)
{
    m_codes.clear();
    for (const char symbol : symbols) {
        m_codes.push_back({ symbol, morseCodeOf(symbol) });
    }
}

// Whether `code` goes on from the `depth` elements on m_path.
template<bool Forwards>
bool CharacterReader::follows(std::string_view code, std::size_t depth) const
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

// `here` holds the scores of the `depth` elements on m_path; reads on into every code that goes on
// from there.
template<bool Forwards>
void CharacterReader::walk(const Scores& here, Beam beam, std::size_t depth, const Visit& visit)
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
        layer<Forwards>(here, m_gaps[depth], beam, TickLikelihood::elementGapMin,
            TickLikelihood::elementGapMax,
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
            layer<Forwards>(*from, m_marks[depth + 1], beam, TickLikelihood::dashMin, TickLikelihood::dashMax,
                [this](int j, int d) { return m_t.dashAt(j, d); });
        }
        m_path[depth] = element;
        walk<Forwards>(m_marks[depth + 1], beam, depth + 1, visit);
    }
}

} // namespace cwaudio
