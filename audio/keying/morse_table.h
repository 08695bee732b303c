// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace cwaudio {

// One Morse character: '.' for a dot, '-' for a dash.
struct MorseCode
{
    char symbol;
    std::string_view code;
};

// Letters, digits and the common punctuation, in no particular order.
std::string_view morseCodes();

// The code of `symbol` (upper case), or an empty view when the table has none.
std::string_view morseCodeOf(char symbol);

// The character whose code is `code`, or '\0' when no character has it.
char morseSymbolOf(std::string_view code);

// Length of `code` in Morse units, including the one-unit gaps between its elements.
int morseUnits(std::string_view code);

} // namespace cwaudio
