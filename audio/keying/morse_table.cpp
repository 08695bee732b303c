// SPDX-License-Identifier: GPL-3.0-or-later
#include "morse_table.h"

#include <algorithm>
#include <array>
#include <string>

namespace cwaudio {

namespace {

constexpr std::array<MorseCode, 46> table { {
    { 'A', ".-" },
    { 'B', "-..." },
    { 'C', "-.-." },
    { 'D', "-.." },
    { 'E', "." },
    { 'F', "..-." },
    { 'G', "--." },
    { 'H', "...." },
    { 'I', ".." },
    { 'J', ".---" },
    { 'K', "-.-" },
    { 'L', ".-.." },
    { 'M', "--" },
    { 'N', "-." },
    { 'O', "---" },
    { 'P', ".--." },
    { 'Q', "--.-" },
    { 'R', ".-." },
    { 'S', "..." },
    { 'T', "-" },
    { 'U', "..-" },
    { 'V', "...-" },
    { 'W', ".--" },
    { 'X', "-..-" },
    { 'Y', "-.--" },
    { 'Z', "--.." },
    { '0', "-----" },
    { '1', ".----" },
    { '2', "..---" },
    { '3', "...--" },
    { '4', "....-" },
    { '5', "....." },
    { '6', "-...." },
    { '7', "--..." },
    { '8', "---.." },
    { '9', "----." },
    { '.', ".-.-.-" },
    { ',', "--..--" },
    { '?', "..--.." },
    { '/', "-..-." },
    { '=', "-...-" },
    { '-', "-....-" },
    { '+', ".-.-." },
    { '\'', ".----." },
    { '(', "-.--." },
    { ')', "-.--.-" },
} };

} // namespace

std::string_view morseCodes()
{
    static const std::string symbols = [] {
        std::string s;
        for (const MorseCode& row : table) {
            s += row.symbol;
        }
        return s;
    }();
    return symbols;
}

std::string_view morseCodeOf(char symbol)
{
    const auto it = std::ranges::find(table, symbol, &MorseCode::symbol);
    return it == table.end() ? std::string_view {} : it->code;
}

char morseSymbolOf(std::string_view code)
{
    const auto it = std::ranges::find(table, code, &MorseCode::code);
    return it == table.end() ? '\0' : it->symbol;
}

int morseUnits(std::string_view code)
{
    int units = 0;
    for (const char element : code) {
        units += element == '-' ? 3 : 1;
    }
    return code.empty() ? 0 : units + static_cast<int>(code.size()) - 1;
}

} // namespace cwaudio
