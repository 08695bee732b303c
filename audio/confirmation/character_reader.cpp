// SPDX-License-Identifier: GPL-3.0-or-later
#include "character_reader.h"

namespace cwaudio {

namespace {

std::size_t longestCode()
{
    std::size_t longest = 0;
    for (const char symbol : morseCodes()) {
        longest = std::max(longest, morseCodeOf(symbol).size());
    }
    return longest;
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

void CharacterReader::codesOf(std::string_view symbols)
{
    m_codes.clear();
    for (const char symbol : symbols) {
        m_codes.push_back({ symbol, morseCodeOf(symbol) });
    }
}

} // namespace cwaudio
