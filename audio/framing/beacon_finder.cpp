// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_finder.h"

#include "beacon_frame.h"
#include "level_code.h"
#include "morse_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace cwaudio {

namespace {

// Longest Morse code a beacon character can have (position 14 may be any character).
constexpr std::size_t longestCode = 6;
constexpr std::size_t maxBeaconMarks = beaconLength * longestCode;
// A dot lost in the noise: about one in a hundred at the weakest signals that still decode.
constexpr double lostDotCost = 4.5;
constexpr double maxLeadCost = 3.0;
// ...unless the gap it went into peaked near the threshold.
constexpr double weakDotCost = 1.5;
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr std::size_t alphanumerics = 36;
// A dash broken in two by a dropout shorter than an element space (noise, a fade, the filter
// briefly off a moving tone): its halves and the dropout together make the dash.
constexpr double brokenDashCost = lostDotCost;
constexpr double longestDropout = 1.0; // units
// No space inside a character lasts longer than this (units), even with two of its elements lost
// in a fade: a longer one is a pause, whatever a capped gap cost would allow.
constexpr double longestInnerGap = 12.0;
// A mark shorter than this (units) is a fragment of an element, not an element.
constexpr double wholeElement = 0.7;
// A word space inside a beacon sent without groups may hide a lost last element.
constexpr double strayWordSpaceDoubt = 0.35;

// How a broken dash shows in a reading's marks.
constexpr std::string_view brokenHalves = "<>";

// One way a character can show up in the marks: its code, its code with one dot lost (the gap
// around the lost dot then spans its neighbours' gaps too; a first dot lost only lengthens the
// character space before it, which any character space up to a word space covers), or with one
// dash broken in two.
struct Reading
{
    char symbol;
    std::string_view code;
    std::string seen;
    std::size_t lostAt; // index into `code`, or npos
};

std::vector<Reading> readingsOf(std::string_view symbols, bool lossAllowed = true)
{
    std::vector<Reading> readings;
    for (const char symbol : symbols) {
        const std::string_view code = morseCodeOf(symbol);
        readings.push_back({ symbol, code, std::string(code), std::string::npos });
        for (std::size_t k = 0; k < code.size(); ++k) {
            if (lossAllowed && code[k] == '.' && code.size() > 1) {
                std::string seen(code);
                seen.erase(k, 1);
                readings.push_back({ symbol, code, seen, k });
            }
            if (lossAllowed && code[k] == '-') {
                std::string seen(code);
                seen.replace(k, 1, brokenHalves);
                readings.push_back({ symbol, code, seen, std::string::npos });
            }
        }
    }
    return readings;
}

std::string latin1(QStringView text)
{
    return text.toLatin1().toStdString();
}

// What each position of a beacon may hold: the prefix, the level symbols, and anything at 14.
const std::array<std::vector<Reading>, beaconLength>& positionReadings()
{
    static const auto table = [] {
        std::array<std::vector<Reading>, beaconLength> readings;
        const std::string prefix = latin1(beacon::framePrefix);
        const std::string levels = latin1(beacon::levelAlphabet);
        for (std::size_t p = 0; p < beaconLength; ++p) {
            if (p < prefix.size()) {
                readings[p] = readingsOf(std::string_view(prefix).substr(p, 1));
            } else if (static_cast<int>(p) + 1 == beacon::skippedPosition) {
                // Letters and digits, as sent: with nothing known about them, a character with a dot
                // lost is simply another character, so no repair is tried there.
                readings[p] = readingsOf(morseCodes().substr(0, alphanumerics), false);
            } else {
                readings[p] = readingsOf(levels);
            }
        }
        return readings;
    }();
    return table;
}

class Costs
{
public:
    Costs(std::span<const KeyedMark> marks, double endGap, const Timing& timing)
        : m_marks(marks)
        , m_endGap(endGap)
        , m_timing(timing)
    {
        const std::size_t n = marks.size();
        m_dot.resize(n);
        m_dash.resize(n);
        m_elementGap.resize(n);
        m_charGap.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            m_dot[i] = markCost(marks[i].length, timing, MarkClass::Dot);
            m_dash[i] = markCost(marks[i].length, timing, MarkClass::Dash);
            m_elementGap[i] = gap(i) + timing.bias > longestInnerGap * timing.dot
                ? infinity
                : gapCost(gap(i), timing, GapClass::Element);
            m_charGap[i] = std::min(
                gapCost(gap(i), timing, GapClass::Character), gapCost(gap(i), timing, GapClass::Word));
        }
        m_broken.assign(n, infinity);
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (marks[i].gap >= 0.0 && marks[i].gap + timing.bias < longestDropout * timing.dot) {
                m_broken[i] = brokenDashCost +
                    markCost(marks[i].length + marks[i].gap + marks[i + 1].length, timing, MarkClass::Dash);
            }
        }
    }

    double gap(std::size_t i) const { return i + 1 == m_marks.size() ? m_endGap : m_marks[i].gap; }

    // How much less likely gap `i` is inside a character than between two.
    double mergeCost(std::size_t i) const { return m_elementGap[i] - m_charGap[i]; }
    // Whether mark `i` is a whole element, not a fragment the noise left: only between whole
    // elements does a gap show the spacing that was sent.
    bool whole(std::size_t i) const
    {
        return m_marks[i].length - m_timing.bias >= wholeElement * m_timing.dot;
    }

    // Marks of `seen` from mark `first` on.
    double marks(std::size_t first, std::string_view seen) const
    {
        double cost = 0;
        for (std::size_t k = 0; k < seen.size(); ++k) {
            switch (seen[k]) {
            case '.':
                cost += m_dot[first + k];
                break;
            case '-':
                cost += m_dash[first + k];
                break;
            case '<':
                cost += m_broken[first + k];
                break;
            default:
                break;
            }
        }
        return cost;
    }

    // A dot is lost more readily where the gap that swallowed it shows a peak near the threshold,
    // at the place where that dot would have been.
    enum class Where { Anywhere, Head, Tail };
    double lostDot(std::size_t gapIndex, bool known, Where where) const
    {
        if (!known) {
            return lostDotCost;
        }
        const KeyedMark& m = m_marks[gapIndex];
        const double peak = where == Where::Head ? m.gapHead : (where == Where::Tail ? m.gapTail : m.gapPeak);
        return lostDotCost - (lostDotCost - weakDotCost) * std::clamp((peak - 0.5) / 0.4, 0.0, 1.0);
    }

    // The gaps inside the reading and, unless it ends the beacon, the one after it.
    double gaps(std::size_t first, const Reading& r, bool last) const
    {
        const std::size_t n = r.seen.size();
        double cost = 0.0;
        if (r.lostAt == 0) {
            cost += lostDot(first - 1, first > 0, Where::Tail);
        } else if (r.lostAt != std::string::npos) {
            // Seen mark lostAt-1 is followed by the gap that swallowed the dot.
            cost += lostDot(first + r.lostAt - 1, first + r.lostAt - 1 + 1 < m_marks.size(),
                r.lostAt == n ? Where::Head : Where::Anywhere);
        }
        for (std::size_t k = 0; k + 1 < n; ++k) {
            // A dot lost between seen elements k and k+1 leaves a gap of three units.
            if (r.seen[k] == '<') {
                continue; // the dropout, costed with the dash
            }
            cost += r.lostAt == k + 1 && m_elementGap[first + k] < infinity
                ? gapCostUnits(gap(first + k), m_timing, 3.0)
                : m_elementGap[first + k];
        }
        if (last) {
            return cost;
        }
        // A final dot lost leaves one unit, the dot and the character space (five) or the word
        // space (nine).
        if (r.lostAt == n) {
            const double g = gap(first + n - 1);
            return cost + std::min(gapCostUnits(g, m_timing, 5.0), gapCostUnits(g, m_timing, 9.0));
        }
        return cost + m_charGap[first + n - 1];
    }

    double leading(std::size_t first, std::span<const KeyedMark> before) const
    {
        const double g = first > 0 ? m_marks[first - 1].gap : (before.empty() ? -1.0 : before.back().gap);
        if (g < 0.0) {
            return 0.0;
        }
        // Only a hint: noise just before the first mark must not hide the whole beacon.
        return std::min(
            { gapCost(g, m_timing, GapClass::Character), gapCost(g, m_timing, GapClass::Word), maxLeadCost });
    }

    // The chance that these marks are `symbol`, against every character in every way it can show
    // up over the same marks (intact or with a dot lost), times the doubt no reading of them escapes
    // (marks too short or too long for any element).
    double confidence(std::size_t first, std::size_t count, char symbol, bool last) const
    {
        static const std::vector<Reading> everything = readingsOf(morseCodes());
        double floor = 0;
        for (std::size_t k = 0; k < count; ++k) {
            floor += std::min(m_dot[first + k], m_dash[first + k]);
        }
        double mine = 0;
        double total = 0;
        for (const Reading& r : everything) {
            if (r.seen.size() != count) {
                continue;
            }
            const double p = std::exp(-(marks(first, r.seen) + gaps(first, r, last)));
            total += p;
            if (r.symbol == symbol) {
                mine += p;
            }
        }
        return mine / std::max(total, 1e-300) * std::exp(-floor);
    }

private:
    std::span<const KeyedMark> m_marks;
    double m_endGap;
    Timing m_timing;
    std::vector<double> m_dot, m_dash, m_elementGap, m_charGap;
    std::vector<double> m_broken; // marks i and i + 1 as one dash
};

struct Parse
{
    std::size_t start = 0;
    double cost = infinity;
    std::array<std::size_t, beaconLength> choice {};
    std::array<std::size_t, beaconLength + 1> boundary {};
};

// Best parse of the window as one beacon that ends at its last mark: a Viterbi pass backwards over
// (position, mark) with the readings each position allows.
Parse bestParse(const Costs& c, std::size_t n, std::span<const KeyedMark> before)
{
    const auto& readings = positionReadings();
    std::vector<double> next(n + 1, infinity);
    std::vector<double> here(n + 1, infinity);
    std::vector<std::array<std::size_t, beaconLength>> pick(n + 1);
    next[n] = 0.0;
    for (std::size_t p = beaconLength; p-- > 0;) {
        std::ranges::fill(here, infinity);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t k = 0; k < readings[p].size(); ++k) {
                const Reading& r = readings[p][k];
                const std::size_t end = i + r.seen.size();
                if (end > n || next[end] == infinity) {
                    continue;
                }
                const double cost = next[end] + c.marks(i, r.seen) + c.gaps(i, r, end == n);
                if (cost < here[i]) {
                    here[i] = cost;
                    pick[i][p] = k;
                }
            }
        }
        std::swap(here, next);
    }
    Parse best;
    for (std::size_t s = 0; s < n; ++s) {
        const double cost = next[s] + c.leading(s, before);
        if (cost < best.cost) {
            best.cost = cost;
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
        i += readings[p][best.choice[p]].seen.size();
    }
    best.boundary[beaconLength] = i;
    return best;
}

} // namespace

std::string_view beaconSymbolsAt(std::size_t position)
{
    static const auto table = [] {
        std::array<std::string, beaconLength> symbols;
        for (std::size_t p = 0; p < beaconLength; ++p) {
            for (const Reading& r : positionReadings()[p]) {
                if (symbols[p].find(r.symbol) == std::string::npos) {
                    symbols[p] += r.symbol;
                }
            }
        }
        return symbols;
    }();
    return table.at(position);
}

std::optional<FoundBeacon> findBeacon(std::span<const KeyedMark> marks, double endGap, Timing fallback,
    const SpeedRange& range, const Acceptance& acceptance)
{
    if (marks.size() < beaconLength) {
        return std::nullopt;
    }
    const std::size_t offset = marks.size() > maxBeaconMarks ? marks.size() - maxBeaconMarks : 0;
    auto window = marks.subspan(offset);
    auto before = marks.first(offset);

    Timing timing = estimateTiming(window, fallback, range);
    if (!timing.known()) {
        return std::nullopt;
    }
    Parse parse = bestParse(Costs(window, endGap, timing), window.size(), before);
    if (parse.cost == infinity) {
        return std::nullopt;
    }
    // Measure the speed again on the beacon's own marks, free of whatever preceded it.
    const std::size_t start = parse.start;
    const Timing own = estimateTiming(window.subspan(start), timing, range);
    if (own.dot != timing.dot || own.bias != timing.bias) {
        timing = own;
        before = marks.first(offset + start);
        window = window.subspan(start);
        parse = bestParse(Costs(window, endGap, timing), window.size(), before);
    } else {
        before = marks.first(offset);
    }
    // A beacon is followed by at least a word space; anything shorter means it goes on.
    if (parse.cost > acceptance.maxTotalCost || classifyGap(endGap, timing) != GapClass::Word) {
        return std::nullopt;
    }

    const auto& readings = positionReadings();
    const Costs c(window, endGap, timing);
    FoundBeacon found;
    found.timing = timing;
    found.cost = parse.cost;
    found.firstMark = before.size() + parse.start;
    for (std::size_t p = 0; p <= beaconLength; ++p) {
        found.boundary[p] = before.size() + parse.boundary[p];
    }
    // Sent in groups, a beacon has word spaces after the prefix and every four characters after.
    int wordSpaces = 0;
    for (std::size_t p = 0; p + 1 < beaconLength; ++p) {
        const std::size_t last = parse.boundary[p + 1] - 1;
        if (classifyGap(c.gap(last), timing) == GapClass::Word) {
            ++wordSpaces;
        }
    }
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const Reading& r = readings[p][parse.choice[p]];
        const std::size_t first = parse.boundary[p];
        const bool strayWordSpace = p + 1 < beaconLength && wordSpaces < 3 &&
            classifyGap(c.gap(parse.boundary[p + 1] - 1), timing) == GapClass::Word;
        // How the marks were split into characters is vouched for by the total cost; this is
        // about which character these marks are.
        double confidence = c.confidence(first, r.seen.size(), r.symbol, p + 1 == beaconLength);
        if (strayWordSpace) {
            confidence *= strayWordSpaceDoubt;
        }
        found.text += r.symbol;
        found.confidence[p] = confidence;
        if (r.lostAt != std::string::npos && r.lostAt > 0 && r.code[r.lostAt - 1] == '.') {
            found.dotLostAfter.push_back(before.size() + first + r.lostAt - 1);
        }
        for (std::size_t k = 0; k + 1 < r.seen.size(); ++k) {
            if (r.lostAt != k + 1 && r.seen[k] != '<' && c.mergeCost(first + k) >= lostDotCost &&
                c.whole(first + k) && c.whole(first + k + 1)) {
                found.merged.push_back(before.size() + first + k);
            }
        }
    }
    if (!sureEnough(found.confidence, acceptance.minConfidence)) {
        return std::nullopt;
    }
    return found;
}

bool sureEnough(const std::array<double, beaconLength>& confidence, double floor)
{
    // The prefix carries no telemetry and the other five of its letters vouch for it: one of them
    // may be doubtful (its low confidence is still reported).
    const auto prefixLength = static_cast<std::size_t>(beacon::framePrefix.size());
    int doubtfulPrefix = 0;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (confidence[p] < floor && (p >= prefixLength || ++doubtfulPrefix > 1)) {
            return false;
        }
    }
    return true;
}

bool sureEnough(const FoundBeacon& found, const Acceptance& acceptance)
{
    return found.cost <= acceptance.maxTotalCost && sureEnough(found.confidence, acceptance.minConfidence);
}

} // namespace cwaudio
