// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_decoder.h"

#include "morse_table.h"

namespace cwaudio {

void TextDecoder::decode(
    std::span<const KeyedMark> marks, std::size_t end, const Timing& timing, std::string& text)
{
    for (; m_next < end && m_next < marks.size(); ++m_next) {
        const KeyedMark& mark = marks[m_next];
        if (mark.gap < 0.0) {
            break;
        }
        m_code += classifyMark(mark.length, timing) == MarkClass::Dot ? '.' : '-';
        const GapClass gap = classifyGap(mark.gap, timing);
        if (gap == GapClass::Element && m_code.size() < 8) {
            continue;
        }
        const char symbol = morseSymbolOf(m_code);
        text += symbol == '\0' ? '*' : symbol;
        m_code.clear();
        if (gap == GapClass::Word) {
            text += ' ';
        }
    }
}

} // namespace cwaudio
