// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keyed_mark.h"
#include "timing.h"

#include <span>
#include <string>
#include <vector>

namespace cwaudio {

// Plain hard-decision Morse: each mark is a dot or a dash, each gap ends an element, a character
// or a word. Unknown codes come out as '*'. Each character's confidence is the chance that every
// element and the gap after it were classed right, given the timing (0 for '*', 1 for a space).
class TextDecoder
{
public:
    // Decodes the closed marks from the first not yet decoded one up to `end`, appending to `text`.
    void decode(std::span<const KeyedMark> marks, std::size_t end, const Timing& timing, std::string& text,
        std::vector<float>& confidence);
    // The store dropped `count` marks from its front.
    void dropped(std::size_t count) { m_next = m_next > count ? m_next - count : 0; }
    std::size_t next() const { return m_next; }

private:
    std::size_t m_next = 0;
    std::string m_code;
    double m_chance = 1.0;
};

} // namespace cwaudio
