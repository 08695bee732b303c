// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_decoder.h"

#include "morse_table.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

namespace {

// Chance of the likeliest class against the runner-up, from their cost difference.
double chanceOfBest(double runnerUpCost)
{
    return 1.0 / (1.0 + std::exp(-runnerUpCost));
}

double markChance(double length, const Timing& timing)
{
    return chanceOfBest(
        std::max(markCost(length, timing, MarkClass::Dot), markCost(length, timing, MarkClass::Dash)));
}

double gapChance(double length, const Timing& timing)
{
    const GapClass best = classifyGap(length, timing);
    double runnerUp = 1e9;
    for (const GapClass c : { GapClass::Element, GapClass::Character, GapClass::Word }) {
        if (c != best) {
            runnerUp = std::min(runnerUp, gapCost(length, timing, c));
        }
    }
    return chanceOfBest(runnerUp);
}

} // namespace

void TextDecoder::decode(std::span<const KeyedMark> marks, std::size_t end, const Timing& timing,
    std::string& text, std::vector<float>& confidence)
{
    for (; m_next < end && m_next < marks.size(); ++m_next) {
        const KeyedMark& mark = marks[m_next];
        if (mark.gap < 0.0) {
            break;
        }
        m_code += classifyMark(mark.length, timing) == MarkClass::Dot ? '.' : '-';
        m_chance *= markChance(mark.length, timing) * gapChance(mark.gap, timing);
        const GapClass gap = classifyGap(mark.gap, timing);
        if (gap == GapClass::Element && m_code.size() < 8) {
            continue;
        }
        const char symbol = morseSymbolOf(m_code);
        text += symbol == '\0' ? '*' : symbol;
        confidence.push_back(symbol == '\0' ? 0.0f : static_cast<float>(m_chance));
        m_code.clear();
        m_chance = 1.0;
        if (gap == GapClass::Word) {
            text += ' ';
            confidence.push_back(1.0f);
        }
    }
}

} // namespace cwaudio
