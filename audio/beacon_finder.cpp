// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_finder.h"

#include "beacon_frame.h"
#include "level_code.h"
#include "morse_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace cwaudio {

namespace {

// Longest Morse code a beacon character can have (position 14 may be any character).
constexpr std::size_t longestCode = 6;
constexpr std::size_t maxBeaconMarks = beaconLength * longestCode;
// Acceptance: a total penalty of a few nats, no character left much in doubt.
constexpr double maxTotalCost = 8.0;
constexpr double minConfidence = 0.4;
constexpr double infinity = std::numeric_limits<double>::infinity();

struct Choice
{
    char symbol;
    std::string_view code;
};

std::vector<Choice> choicesFrom(std::string_view symbols)
{
    std::vector<Choice> choices;
    for (const char symbol : symbols) {
        choices.push_back({ symbol, morseCodeOf(symbol) });
    }
    return choices;
}

std::string latin1(QStringView text)
{
    return text.toLatin1().toStdString();
}

// What each position of a beacon may hold: the prefix, the level symbols, and anything at 14.
const std::array<std::vector<Choice>, beaconLength>& positionChoices()
{
    static const auto table = [] {
        std::array<std::vector<Choice>, beaconLength> choices;
        const std::string prefix = latin1(beacon::framePrefix);
        const std::string levels = latin1(beacon::levelAlphabet);
        for (std::size_t p = 0; p < beaconLength; ++p) {
            if (p < prefix.size()) {
                choices[p] = choicesFrom(std::string_view(prefix).substr(p, 1));
            } else if (static_cast<int>(p) + 1 == beacon::skippedPosition) {
                choices[p] = choicesFrom(morseCodes());
            } else {
                choices[p] = choicesFrom(levels);
            }
        }
        return choices;
    }();
    return table;
}

struct Costs
{
    std::vector<double> dot, dash, elementGap, charGap;
};

Costs costsFor(std::span<const KeyedMark> marks, double endGap, const Timing& timing)
{
    Costs c;
    const std::size_t n = marks.size();
    c.dot.resize(n);
    c.dash.resize(n);
    c.elementGap.resize(n);
    c.charGap.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        c.dot[i] = markCost(marks[i].length, timing, MarkClass::Dot);
        c.dash[i] = markCost(marks[i].length, timing, MarkClass::Dash);
        const double gap = i + 1 == n ? endGap : marks[i].gap;
        c.elementGap[i] = gapCost(gap, timing, GapClass::Element);
        c.charGap[i] = std::min(gapCost(gap, timing, GapClass::Character), gapCost(gap, timing, GapClass::Word));
    }
    return c;
}

double codeCost(const Costs& c, std::size_t first, std::string_view code)
{
    double cost = 0;
    for (std::size_t k = 0; k < code.size(); ++k) {
        cost += code[k] == '.' ? c.dot[first + k] : c.dash[first + k];
    }
    return cost;
}

double spanGapCost(const Costs& c, std::size_t first, std::size_t length, bool last)
{
    double cost = 0;
    for (std::size_t k = 0; k + 1 < length; ++k) {
        cost += c.elementGap[first + k];
    }
    return last ? cost : cost + c.charGap[first + length - 1];
}

// The chance of `code` against every other character of the same length over the same marks.
double characterConfidence(const Costs& c, std::size_t first, std::string_view code)
{
    double total = 0;
    for (const char symbol : morseCodes()) {
        const std::string_view other = morseCodeOf(symbol);
        if (other.size() == code.size()) {
            total += std::exp(-codeCost(c, first, other));
        }
    }
    return std::exp(-codeCost(c, first, code)) / std::max(total, 1e-300);
}

struct Reading
{
    std::size_t start = 0;
    double cost = infinity;
    std::array<std::size_t, beaconLength> choice {};
    std::array<std::size_t, beaconLength + 1> boundary {};
};

// Best reading of the window as one beacon that ends at its last mark: a Viterbi pass backwards
// over (position, mark) with the characters each position allows.
Reading bestReading(std::span<const KeyedMark> marks, std::span<const KeyedMark> before, double endGap,
    const Timing& timing)
{
    const auto& choices = positionChoices();
    const std::size_t n = marks.size();
    const Costs c = costsFor(marks, endGap, timing);
    std::vector<double> next(n + 1, infinity);
    std::vector<double> here(n + 1, infinity);
    std::vector<std::array<std::size_t, beaconLength>> pick(n + 1);
    next[n] = 0.0;
    for (std::size_t p = beaconLength; p-- > 0;) {
        std::ranges::fill(here, infinity);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t k = 0; k < choices[p].size(); ++k) {
                const std::string_view code = choices[p][k].code;
                const std::size_t end = i + code.size();
                if (end > n || next[end] == infinity) {
                    continue;
                }
                const double cost = next[end] + codeCost(c, i, code) + spanGapCost(c, i, code.size(), end == n);
                if (cost < here[i]) {
                    here[i] = cost;
                    pick[i][p] = k;
                }
            }
        }
        std::swap(here, next);
    }
    Reading best;
    for (std::size_t s = 0; s < n; ++s) {
        if (next[s] == infinity) {
            continue;
        }
        double lead = 0.0;
        const double gapBefore = s > 0 ? marks[s - 1].gap : (before.empty() ? -1.0 : before.back().gap);
        if (gapBefore >= 0.0) {
            lead = std::min(gapCost(gapBefore, timing, GapClass::Character), gapCost(gapBefore, timing, GapClass::Word));
        }
        if (next[s] + lead < best.cost) {
            best.cost = next[s] + lead;
            best.start = s;
        }
    }
    if (best.cost == infinity) {
        return best;
    }
    std::size_t i = best.start;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        best.boundary[p] = i;
        best.choice[p] = pick[i][p];
        i += choices[p][best.choice[p]].code.size();
    }
    best.boundary[beaconLength] = i;
    return best;
}

std::vector<double> lengthsOf(std::span<const KeyedMark> marks)
{
    std::vector<double> lengths;
    lengths.reserve(marks.size());
    for (const KeyedMark& m : marks) {
        lengths.push_back(m.length);
    }
    return lengths;
}

} // namespace

std::optional<FoundBeacon> findBeacon(std::span<const KeyedMark> marks, double endGap, Timing fallback)
{
    const std::size_t minMarks = beaconLength;
    if (marks.size() < minMarks) {
        return std::nullopt;
    }
    const std::size_t offset = marks.size() > maxBeaconMarks ? marks.size() - maxBeaconMarks : 0;
    const auto window = marks.subspan(offset);
    const auto before = marks.first(offset);

    Timing timing = estimateTiming(lengthsOf(window), fallback);
    if (std::getenv("CWDEBUG4")) std::fprintf(stderr, "try n=%zu endgap=%.1f dot=%.1f cls=%d\n", marks.size(), endGap, timing.dot, (int)classifyGap(endGap, timing));
    if (!timing.known()) {
        return std::nullopt;
    }
    Reading reading = bestReading(window, before, endGap, timing);
    if (reading.cost == infinity) {
        return std::nullopt;
    }
    // Measure the speed again on the beacon's own marks, free of whatever preceded it.
    const Timing own = estimateTiming(lengthsOf(window.subspan(reading.start)), timing);
    if (own.dot != timing.dot) {
        timing = own;
        const std::size_t start = reading.start;
        reading = bestReading(window.subspan(start), window.first(start), endGap, timing);
        if (reading.cost == infinity) {
            return std::nullopt;
        }
        reading.start += start;
        for (std::size_t& b : reading.boundary) {
            b += start;
        }
    }
    if (std::getenv("CWDEBUG4")) std::fprintf(stderr, "eval n=%zu cost=%.2f dot=%.1f bias=%.2f start=%zu\n", marks.size(), reading.cost, timing.dot, timing.bias, reading.start);
    // A beacon is followed by at least a word space; anything shorter means it goes on.
    if (reading.cost > maxTotalCost || classifyGap(endGap, timing) != GapClass::Word) {
        return std::nullopt;
    }

    const auto& choices = positionChoices();
    const Costs c = costsFor(window, endGap, timing);
    FoundBeacon found;
    found.timing = timing;
    found.cost = reading.cost;
    found.firstMark = offset + reading.start;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const Choice& choice = choices[p][reading.choice[p]];
        const std::size_t first = reading.boundary[p];
        const double gaps = spanGapCost(c, first, choice.code.size(), p + 1 == beaconLength);
        found.text += choice.symbol;
        found.confidence[p] = characterConfidence(c, first, choice.code) * std::exp(-gaps);
        if (std::getenv("CWDEBUG4")) std::fprintf(stderr, "%c:%.2f ", choice.symbol, found.confidence[p]);
        if (found.confidence[p] < minConfidence) {
            return std::nullopt;
        }
    }
    return found;
}

} // namespace cwaudio
