// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "morse_table.h"
#include "tick_likelihood.h"

#include <array>
#include <functional>
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
    // Handed each symbol read and its scores.
    using Visit = std::function<void(char symbol, const Scores& scores)>;

    explicit CharacterReader(const TickLikelihood& ticks);

    // Scores with the character's last element ending at each cell, from `start` (the score with
    // its first element starting at each cell).
    void forward(std::string_view code, const Scores& start, Scores& end, Beam beam);

    // Scores with the character's first element starting at each cell, given `end` (the score of
    // what follows, with its last element ending at each cell).
    void backward(std::string_view code, const Scores& end, Scores& start, Beam beam);

    // forward (backward) for each of `symbols`, handing `visit` the symbol and its scores, in no
    // set order. Codes that begin (end) alike share the reading of what they share: scoring every
    // letter and digit reads a third of the elements it would one by one.
    void forwardEach(std::string_view symbols, const Scores& start, Beam beam, const Visit& visit);
    void backwardEach(std::string_view symbols, const Scores& end, Beam beam, const Visit& visit);

private:
    void codesOf(std::string_view symbols);
    template<bool Forwards>
    bool follows(std::string_view code, std::size_t depth) const;
    template<bool Forwards>
    void walk(const Scores& here, Beam beam, std::size_t depth, const Visit& visit);

    const TickLikelihood& m_t;
    // The cost of each length of space between the elements of a character.
    std::array<double, TickLikelihood::elementGapMax + 1> m_gapCost {};
    std::vector<MorseCode> m_codes;
    // By depth: the scores after that many elements, and after the gap that follows them, and the
    // elements read to there.
    std::vector<Scores> m_marks;
    std::vector<Scores> m_gaps;
    std::vector<char> m_path;
};

} // namespace cwaudio
