// SPDX-License-Identifier: GPL-3.0-or-later
#include "soft_beacon.h"

#include "beacon_frame.h"
#include "character_reader.h"
#include "element_evidence.h"
#include "median.h"
#include "morse_table.h"
#include "tick_likelihood.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace cwaudio {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr int cellsPerUnit = TickLikelihood::cellsPerUnit;
constexpr std::size_t alphanumerics = 36;
// The key-down amplitude follows a fade from mark to mark, but a fade takes a signal 20 dB down
// within a few tenths of a second, no faster: a mark far weaker than one close by is taken at the
// level that one allows, fallen by this time constant (about 90 dB a second).
constexpr double fadeSeconds = 0.1;
// Energy over the noise density of a unit-long mark below which a character read from the ticks
// is a guess (about 9 dB).
constexpr double minUnitEnergy = 8.0;
// A fade this far (6 dB) below the characters' steady level, and a factor the level it leaves may
// be off by.
constexpr double fadedShare = 0.5;
// A mark's measured amplitude is raised by this many standard errors of its noise before it sets
// the level of a fade: in the noise alone a weak mark must not pass for one (a level assumed too low
// lets the noise read as keying).
constexpr double fadeErrors = 2.0;
// Where the marks show a fade (1.4 dB under the characters' level), the level follows the ticks.
constexpr double fadingShare = 0.85;
// A mark this many standard errors of its noise under the level its neighbours set shows a fade of
// its own: the first dash of an 8 at the edge of a null, 9 dB under the dots around it, read at
// their level, broke into two pieces and the beacon was lost.
constexpr double ownFadeErrors = 4.0;
// A space between characters this long (units) may hold a dot lost at the end of one of them.
constexpr double swallowingSpace = 4.0;
constexpr double characterSpace = 3.0;
// A dot read next to a lost one this far (3 dB) below the characters' level may be a dash's start.
constexpr double lostDotShare = 0.7;
// How sure the ticks must be of a character whose marks may hold a dash cut in two.
constexpr double sureSplit = 0.9;
constexpr double wordSpace = 6.5;
// The ticks show the tone in a half-unit piece with this much energy over the noise's...
constexpr double toneShown = 9.0;
// ...and the level of the keying is read from such pieces this many units either side of a cell.
constexpr int envelopeUnits = 1;
// The tone shows in the middle of a space between two elements where a half unit there holds this
// much energy over the noise's (noise alone brings it about one time in 150).
constexpr double gapToneShown = 4.0;
// Out of a fade the level of a character is read from the marks of this many characters either
// side, not from its own few: one mark's amplitude is a rough estimate in the noise.
constexpr std::size_t amplitudeReach = 2;
// A character may move this far from where the marks put it.
constexpr int beamCells = 3 * cellsPerUnit;
// The grid reaches this far beyond the beacon's first and last marks.
constexpr double marginUnits = 6.0;
// Between characters, in cells.
constexpr int characterGapMin = 2 * cellsPerUnit;
constexpr int characterGapMax = 11 * cellsPerUnit;
// A character space drawn out this far is a word space.
constexpr int longestCharacterGap = 5 * cellsPerUnit;
// Where a mark next to the beacon would still belong to it: the spaces around a beacon are silent.
constexpr int quietTo = 5 * cellsPerUnit;
// Where the level assumed is low (a fade, a first mark the filter caught late), noise alone scores
// a dot somewhere in five units of quiet one time in four above 2; above 6, about one in 200.
constexpr double quietLlr = 6.0;
constexpr double unexplainedShare = 0.5;
// The elements that end the last character have no next character to bound them: the ticks must
// be ten times surer of them than of a character the marks vouch for (see lastElementsSure).
constexpr double unboundedDoubt = 0.005;
// The key-down level is measured on the marks, which near the floor the keying found where the
// noise lifted them: it reads about 1.4 dB high there. A reading the marks do not vouch for must
// hold at this share of it too, or a dip in a dash passes for a space (G read as F, 0.9996 sure).
constexpr double lowerLevel = 0.85;
// Marks this sure of a character speak for it where the ticks' reading rests on a fade's level.
constexpr double sureMarks = 0.9;

// Sent in groups, a beacon has word spaces after the prefix and every four characters after; any
// other space inside it is a character space.
constexpr std::size_t prefixLength = 6;
constexpr std::size_t groupLength = 4;
constexpr int groupSpacesAfterPrefix = (beaconLength - prefixLength - 1) / groupLength;

bool groupEndsAfter(std::size_t position)
{
    return position + 1 >= prefixLength && (position + 1 - prefixLength) % groupLength == 0;
}

double characterGapCost(int cells, bool groupEnd)
{
    static const auto costs = [] {
        std::array<std::array<double, characterGapMax + 1>, 2> c {};
        for (int d = characterGapMin; d <= characterGapMax; ++d) {
            const double character = durationCost(d, 3 * cellsPerUnit);
            c[0][static_cast<std::size_t>(d)] = character;
            c[1][static_cast<std::size_t>(d)] = std::min(character, durationCost(d, 7 * cellsPerUnit));
        }
        return c;
    }();
    return costs[groupEnd ? 1 : 0][static_cast<std::size_t>(cells)];
}

// The best of a[j] + b[j] over the beam, and where it is.
double bestJoin(const Scores& a, const Scores& b, Beam beam, int* at)
{
    double best = -infinity;
    for (int j = beam.lo; j <= beam.hi; ++j) {
        const double v = a[static_cast<std::size_t>(j)] + b[static_cast<std::size_t>(j)];
        if (v > best) {
            best = v;
            if (at != nullptr) {
                *at = j;
            }
        }
    }
    return best;
}

// best = max(best, scores) over the beam.
void keepBest(Scores& best, const Scores& scores, Beam beam)
{
    for (int j = beam.lo; j <= beam.hi; ++j) {
        const auto k = static_cast<std::size_t>(j);
        best[k] = std::max(best[k], scores[k]);
    }
}

// One mark's amplitude is a rough estimate in the noise: each is taken with its neighbours'.
std::vector<double> withNeighbours(const std::vector<double>& measured)
{
    std::vector<double> amplitude(measured);
    for (std::size_t i = 1; i + 1 < measured.size(); ++i) {
        amplitude[i] = median({ measured[i - 1], measured[i], measured[i + 1] });
    }
    return amplitude;
}

// The key-down amplitude of every cell, following a fade from mark to mark (`amplitude` at cell
// `centre`): log-linear between the middles of the marks, each mark at least what its neighbours
// allow it to have faded to, and never over `steady`, the level of the characters around it.
std::vector<double> followFade(const std::vector<double>& centre, std::vector<double> amplitude,
    const std::vector<double>& steady, double fadeCells)
{
    for (std::size_t i = 1; i < amplitude.size(); ++i) {
        amplitude[i] =
            std::max(amplitude[i], amplitude[i - 1] * std::exp((centre[i - 1] - centre[i]) / fadeCells));
    }
    for (std::size_t i = amplitude.size() - 1; i-- > 0;) {
        amplitude[i] =
            std::max(amplitude[i], amplitude[i + 1] * std::exp((centre[i] - centre[i + 1]) / fadeCells));
    }
    std::vector<double> cells(steady.size());
    std::size_t next = 0;
    for (std::size_t j = 0; j < cells.size(); ++j) {
        const auto cell = static_cast<double>(j);
        while (next < centre.size() && centre[next] <= cell) {
            ++next;
        }
        double a = 0.0;
        if (next == 0) {
            a = amplitude.front();
        } else if (next == centre.size()) {
            a = amplitude.back();
        } else {
            const double w = (cell - centre[next - 1]) / std::max(centre[next] - centre[next - 1], 1e-9);
            a = std::exp((1.0 - w) * std::log(amplitude[next - 1]) + w * std::log(amplitude[next]));
        }
        cells[j] = std::min(a, steady[j]);
    }
    return cells;
}

bool anyGuessed(const std::vector<bool>& guessed, int from, int to)
{
    const auto end = std::min(static_cast<std::size_t>(std::max(to, 0)), guessed.size());
    for (auto k = static_cast<std::size_t>(std::max(from, 0)); k < end; ++k) {
        if (guessed[k]) {
            return true;
        }
    }
    return false;
}

// Whether a dot fits anywhere in cells [from, to): keying that a reading leaves unexplained. It
// has to score a fair share of what a whole dot would: weak signals leave many places where
// noise alone scores above nothing.
bool keyedIn(const TickLikelihood& t, int from, int to)
{
    from = std::max(from, 0);
    to = std::min(to, t.cells());
    for (int j = from; j + TickLikelihood::dotMin <= to; ++j) {
        // Read one tick at a time, a station beside the tone leaks in: no witness there.
        if (!t.phaseKept(j, TickLikelihood::dotMax)) {
            continue;
        }
        const double threshold = std::max(quietLlr, unexplainedShare * t.unitEnergy(j));
        for (int d = TickLikelihood::dotMin; d <= TickLikelihood::dotMax && j + d <= to; ++d) {
            if (t.dotAt(j, d) > threshold) {
                return true;
            }
        }
    }
    return false;
}

// The level the keying fades to within an element: where the ticks show the tone, the strongest
// half-unit piece of it within `envelopeUnits` of a cell; between such stretches, drawn from one to
// the next. A space between two marks is drawn at their level, the bottom of a null at that of
// the faded tone either side of it, where the ticks show the keying going down and coming back.
// Empty where the ticks show the tone nowhere.
std::vector<double> fadedTone(const TickLikelihood& t, double dot, double noise)
{
    const double cell = dot / cellsPerUnit;
    const double origin = -t.cellOf(0.0) * cell;
    const auto cells = static_cast<std::size_t>(t.cells());
    const double ticks = TickLikelihood::pieceCells * cell;
    std::vector<double> piece(cells, 0.0);
    for (std::size_t j = 0; j < cells; ++j) {
        const double from = origin + static_cast<double>(j) * cell;
        const double a = t.amplitudeOver(from, from + ticks);
        // Shown: the piece's energy well over the noise's.
        piece[j] = a * a * ticks > toneShown * noise ? a : 0.0;
    }
    const std::ptrdiff_t reach = std::ptrdiff_t { envelopeUnits } * cellsPerUnit;
    std::vector<double> shown(cells + 1, 0.0);
    for (std::size_t j = 0; j <= cells; ++j) {
        const auto lo = std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(j) - reach, 0);
        const auto hi = std::min(static_cast<std::ptrdiff_t>(j) + reach, static_cast<std::ptrdiff_t>(cells));
        for (auto k = lo; k < hi; ++k) {
            shown[j] = std::max(shown[j], piece[static_cast<std::size_t>(k)]);
        }
    }
    std::vector<double> level(cells + 1, 0.0);
    std::ptrdiff_t last = -1;
    for (std::size_t j = 0; j <= cells; ++j) {
        if (shown[j] <= 0.0) {
            continue;
        }
        const auto here = static_cast<std::ptrdiff_t>(j);
        for (std::ptrdiff_t k = last + 1; k < here; ++k) {
            const double w =
                last < 0 ? 1.0 : static_cast<double>(k - last) / static_cast<double>(here - last);
            const double from = last < 0 ? shown[j] : shown[static_cast<std::size_t>(last)];
            level[static_cast<std::size_t>(k)] =
                std::exp((1.0 - w) * std::log(from) + w * std::log(shown[j]));
        }
        level[j] = shown[j];
        last = here;
    }
    if (last < 0) {
        return {};
    }
    for (auto k = static_cast<std::size_t>(last) + 1; k <= cells; ++k) {
        level[k] = shown[static_cast<std::size_t>(last)];
    }
    return level;
}

// Whether the ticks are sure of the elements that end the last character, beyond a shorter symbol
// the position may hold (the dot of Z or the dash of Q beyond G). Nothing after them bounds where
// the beacon ended, so a burst of noise in the silence after it reads as one more element, and
// the marks take it in as readily (at -10 dB one unit after a G made it Z, 0.99 sure).
// `scoreOf` gives the score of the best reading with a symbol there.
template<typename ScoreOf>
bool lastElementsSure(char chosen, double top, ScoreOf scoreOf)
{
    const std::string_view code = morseCodeOf(chosen);
    const double odds = (1.0 - unboundedDoubt) / unboundedDoubt;
    return std::ranges::all_of(beaconSymbolsAt(beaconLength - 1), [&](char symbol) {
        const std::string_view shorter = morseCodeOf(symbol);
        return shorter.size() >= code.size() || !code.starts_with(shorter) ||
            top - scoreOf(symbol) >= std::log(odds);
    });
}

// The forward-backward pass over the frame: starts[p] is the best score of the characters before
// p with p's first element at each cell, ends[p] that of the characters after p with p's last
// element ending at each cell.
struct FramePass
{
    std::vector<Scores> starts;
    std::vector<Scores> ends;
};

// Whether `shorter` is `code` with one of its dots left out: what a null that swallowed the dot
// leaves of it.
bool oneDotShort(std::string_view shorter, std::string_view code)
{
    if (shorter.size() + 1 != code.size()) {
        return false;
    }
    for (std::size_t k = 0; k < code.size(); ++k) {
        if (code[k] == '.' && code.substr(0, k) == shorter.substr(0, k) &&
            code.substr(k + 1) == shorter.substr(k)) {
            return true;
        }
    }
    return false;
}

// Whether `left` is what a null may leave of `code`: one dot swallowed, one dash with its start or
// end swallowed (a dot), or with its middle swallowed (two dots an element space apart).
bool leftByNull(std::string_view left, std::string_view code)
{
    for (std::size_t k = 0; k < code.size(); ++k) {
        if (left.substr(0, std::min(k, left.size())) != code.substr(0, k)) {
            return false;
        }
        for (const std::string_view piece :
            { std::string_view(), std::string_view("."), std::string_view("..") }) {
            if ((piece.empty() ? code[k] == '.' : code[k] == '-') &&
                left.size() + 1 == code.size() + piece.size() && left.substr(k, piece.size()) == piece &&
                left.substr(k + piece.size()) == code.substr(k + 1)) {
                return true;
            }
        }
    }
    return false;
}

// The likeliest symbol position `p` may hold on `pass`, where it ends, and its chance among what
// the position may hold and against every letter and digit. In a fade a dot may vanish from the
// ticks too: a letter one dot short of the chosen one is then no sign against it.
struct Choice
{
    char symbol = '\0';
    double score = -infinity;
    int end = 0;
    double framed = 0.0;
    double open = 0.0;
};

// What position `p` may hold, then every other letter and digit: each scored once.
std::string_view scoredAt(std::size_t p)
{
    static const auto table = [] {
        std::array<std::string, beaconLength> scored;
        const std::string_view alphanumeric = morseCodes().substr(0, alphanumerics);
        for (std::size_t q = 0; q < beaconLength; ++q) {
            const std::string_view held = beaconSymbolsAt(q);
            scored[q] = held;
            std::ranges::copy_if(alphanumeric, std::back_inserter(scored[q]),
                [&](char symbol) { return held.find(symbol) == std::string_view::npos; });
        }
        return scored;
    }();
    return table[p];
}

Choice choose(CharacterReader& reader, const FramePass& pass, Beam beam, std::size_t p, bool inFade)
{
    const std::string_view held = beaconSymbolsAt(p);
    const std::string_view alphanumeric = morseCodes().substr(0, alphanumerics);
    const auto slot = [](char symbol) { return static_cast<std::size_t>(symbol) & 127U; };
    std::array<double, 128> scoreOf {};
    std::array<int, 128> endOf {};
    reader.forwardEach(scoredAt(p), pass.starts[p], beam, [&](char symbol, const Scores& scores) {
        scoreOf[slot(symbol)] = bestJoin(scores, pass.ends[p], beam, &endOf[slot(symbol)]);
    });
    Choice c;
    for (const char symbol : held) {
        if (scoreOf[slot(symbol)] > c.score) {
            c = { symbol, scoreOf[slot(symbol)], endOf[slot(symbol)], 0.0, 0.0 };
        }
    }
    if (c.score == -infinity) {
        return c;
    }
    double total = alphanumeric.find(c.symbol) == std::string_view::npos ? 1.0 : 0.0;
    double framed = 0.0;
    for (const char symbol : alphanumeric) {
        const double odds = std::exp(scoreOf[slot(symbol)] - c.score);
        if (!inFade || !oneDotShort(morseCodeOf(symbol), morseCodeOf(c.symbol))) {
            total += odds;
        }
        if (held.find(symbol) != std::string_view::npos) {
            framed += odds;
        }
    }
    c.framed = 1.0 / std::max(framed, 1.0);
    c.open = 1.0 / total;
    return c;
}

using Beams = std::array<Beam, beaconLength>;
using Cells = std::array<int, beaconLength>;

// The character mark `i` of the beacon's marks was read as part of.
std::size_t characterOf(const FoundBeacon& found, std::size_t i)
{
    return std::min(
        static_cast<std::size_t>(std::ranges::upper_bound(found.boundary, i) - found.boundary.begin() - 1),
        beaconLength - 1);
}

// What the ticks show of each mark of a beacon's reading, and of the characters around them.
struct MarkLevels
{
    std::size_t first = 0; // the beacon's first mark
    // From mark `first` on: measured over its middle, raised by its noise's standard errors.
    std::vector<double> bound;
    std::array<double, beaconLength> steady {}; // the level of the characters around each position

    // Whether mark `i` of character `p` lies under `share` of the characters' level (a fade: 6 dB).
    bool faded(std::size_t i, std::size_t p, double share = fadedShare) const
    {
        return bound[i - first] < share * steady[p];
    }
};

// Where each character may lie: within a few dots of where the marks put it. Sets the key-down
// amplitude the likelihoods assume around each character from its marks and its neighbours'.
// `guessed` flags the cells where the ticks alone are no more than a guess (a deep fade).
std::optional<Beams> layOut(TickLikelihood& t, std::span<const KeyedMark> marks, const FoundBeacon& found,
    TickScale scale, double dot, double noise, std::vector<bool>& guessed, MarkLevels& levels)
{
    const std::size_t first = found.boundary[0];
    std::vector<double> amplitude;
    std::vector<double> centre;
    levels.first = first;
    std::vector<double>& bound = levels.bound;
    std::vector<double> ceiling;
    for (std::size_t i = first; i < found.boundary[beaconLength]; ++i) {
        // The middle of the mark, at most a unit of it, where the phase has no time to wander.
        const double middle = 0.5 * (keyedStart(marks[i], scale) + keyedEnd(marks[i], scale));
        const double half = 0.5 * std::min(0.7 * marks[i].length, dot);
        amplitude.push_back(std::max(t.amplitudeOver(middle - half, middle + half), 1e-30));
        // A fade is followed only as far as the noise lets one mark show it.
        const double error = std::sqrt(noise / std::max(4.0 * half, 2.0));
        bound.push_back(amplitude.back() + fadeErrors * error);
        ceiling.push_back(amplitude.back() + ownFadeErrors * error);
        centre.push_back(t.cellOf(middle));
    }
    Beams beams {};
    std::vector<double> steady(static_cast<std::size_t>(t.cells()));
    int regionStart = 0;
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const KeyedMark& firstMark = marks[found.boundary[p]];
        const KeyedMark& lastMark = marks[found.boundary[p + 1] - 1];
        const auto lo = static_cast<int>(t.cellOf(keyedStart(firstMark, scale)));
        const auto hi = static_cast<int>(t.cellOf(keyedEnd(lastMark, scale)));
        beams[p] = { std::max(lo - beamCells, 0), std::min(hi + beamCells, t.cells()) };
        const int regionEnd = p + 1 == beaconLength
            ? t.cells()
            : static_cast<int>(t.cellOf(
                  0.5 * (keyedEnd(lastMark, scale) + keyedStart(marks[found.boundary[p + 1]], scale))));
        const std::size_t near0 = found.boundary[p >= amplitudeReach ? p - amplitudeReach : 0] - first;
        const std::size_t near1 = found.boundary[std::min(p + amplitudeReach + 1, beaconLength)] - first;
        const double a = median(std::vector<double>(amplitude.begin() + static_cast<std::ptrdiff_t>(near0),
            amplitude.begin() + static_cast<std::ptrdiff_t>(near1)));
        for (int j = std::max(regionStart, 0); j < std::min(regionEnd, t.cells()); ++j) {
            steady[static_cast<std::size_t>(j)] = a;
        }
        levels.steady[p] = a;
        regionStart = regionEnd;
    }
    const double fadeCells = fadeSeconds * scale.tickRate / (dot / cellsPerUnit);
    const std::vector<double> smoothed = withNeighbours(bound);
    const std::vector<double> level = followFade(centre, smoothed, steady, fadeCells);
    // Whether the ticks are to follow a fade: a mark far under its neighbours by its own noise has
    // faded itself, whatever they say.
    std::vector<double> own(smoothed.size());
    std::ranges::transform(smoothed, ceiling, own.begin(), [](double a, double c) { return std::min(a, c); });
    const std::vector<double> ownLevel = followFade(centre, std::move(own), steady, fadeCells);
    const std::vector<double> faded = fadedTone(t, dot, noise);
    guessed.assign(level.size(), false);
    for (int j = 0; j < t.cells(); ++j) {
        const auto k = static_cast<std::size_t>(j);
        if (level[k] <= 1e-20) {
            return std::nullopt;
        }
        // Deep in a fade the level between two marks may lie anywhere under the line drawn between
        // them: the marks there are taken as keyed down to a share of it. Within an element the
        // level follows what the ticks show around it, so a dash fading into a null and out again
        // is still one dash, and its bottom no witness for a space.
        const double drawn = level[k] < fadedShare * steady[k] ? fadedShare * level[k] : level[k];
        const bool fading = !faded.empty() && ownLevel[k] < fadingShare * steady[k];
        t.setAmplitude(j, j + 1, fading ? std::max(std::min(drawn, faded[k]), 1e-20) : drawn);
        guessed[k] = t.unitEnergy(j) < minUnitEnergy;
    }
    t.prepare();
    return beams;
}

FramePass passFrame(CharacterReader& reader, const Beams& beams, int cells)
{
    const auto size = static_cast<std::size_t>(cells) + 1;
    FramePass pass { std::vector<Scores>(beaconLength, Scores(size, -infinity)),
        std::vector<Scores>(beaconLength, Scores(size, -infinity)) };
    Scores best(size);
    for (int j = beams[0].lo; j <= std::min(beams[0].lo + 2 * beamCells, beams[0].hi); ++j) {
        pass.starts[0][static_cast<std::size_t>(j)] = 0.0;
    }
    // `after`: the position the gap follows.
    const auto gapInto = [&](const Scores& from, Scores& to, Beam beam, bool forwards, std::size_t after) {
        const bool groupEnd = groupEndsAfter(after);
        for (int j = beam.lo; j <= beam.hi; ++j) {
            double v = -infinity;
            for (int d = characterGapMin; d <= characterGapMax; ++d) {
                const int k = forwards ? j - d : j + d;
                if (k < 0 || k > cells || from[static_cast<std::size_t>(k)] == -infinity) {
                    continue;
                }
                v = std::max(v, from[static_cast<std::size_t>(k)] - characterGapCost(d, groupEnd));
            }
            to[static_cast<std::size_t>(j)] = v;
        }
    };
    for (std::size_t p = 0; p + 1 < beaconLength; ++p) {
        std::ranges::fill(best, -infinity);
        reader.forwardEach(beaconSymbolsAt(p), pass.starts[p], beams[p],
            [&](char, const Scores& scores) { keepBest(best, scores, beams[p]); });
        gapInto(best, pass.starts[p + 1], beams[p + 1], true, p);
    }
    for (int j = beams.back().lo; j <= beams.back().hi; ++j) {
        pass.ends.back()[static_cast<std::size_t>(j)] = 0.0;
    }
    for (std::size_t p = beaconLength - 1; p > 0; --p) {
        std::ranges::fill(best, -infinity);
        reader.backwardEach(beaconSymbolsAt(p), pass.ends[p], beams[p],
            [&](char, const Scores& scores) { keepBest(best, scores, beams[p]); });
        gapInto(best, pass.ends[p - 1], beams[p - 1], false, p - 1);
    }
    return pass;
}

// Whether the reading placed its characters as a beacon is sent. Keying left unexplained between
// them, word spaces where a beacon has none, or only some of those a beacon sent in groups has,
// mean the marks were split into characters wrongly; keying right before or after, that these are
// characters from the middle of something else.
bool framedWell(const TickLikelihood& t, const Cells& startCell, const Cells& endCell)
{
    int groupSpaces = 0;
    for (std::size_t p = 0; p + 1 < beaconLength; ++p) {
        const bool wordSpace = startCell[p + 1] - endCell[p] > longestCharacterGap;
        if (groupEndsAfter(p) && p >= prefixLength && wordSpace) {
            ++groupSpaces;
        }
        if ((!groupEndsAfter(p) && wordSpace) || keyedIn(t, endCell[p], startCell[p + 1])) {
            return false;
        }
    }
    return (groupSpaces == 0 || groupSpaces == groupSpacesAfterPrefix) &&
        !keyedIn(t, startCell.front() - quietTo, startCell.front()) &&
        !keyedIn(t, endCell.back(), endCell.back() + quietTo);
}

// Whether the ticks show keying in every gap the marks' reading merged two characters across:
// only keying the threshold missed (a faded tail, a dot in the noise) makes such a gap part of one
// character; silence there means two characters were sent, and the frame forced them into one.
// Where the ticks lost their phase, or only guess in a fade, they are no witness for the merge, and
// without one it is turned down. Next to a mark that lies in a fade the threshold cut that mark
// short, by up to most of a dash, so an element space comes out nearly as long as a character
// space: one shorter than a character space sent there is no sign of two characters.
bool mergesKeyed(const TickLikelihood& t, std::span<const KeyedMark> marks, const FoundBeacon& found,
    TickScale scale, const std::vector<bool>& guessed, const MarkLevels& levels)
{
    return std::ranges::all_of(found.merged, [&](std::size_t i) {
        const auto p = characterOf(found, i);
        if ((levels.faded(i, p) || levels.faded(i + 1, p)) &&
            marks[i].gap < characterSpace * found.timing.dot) {
            return true;
        }
        const auto from = static_cast<int>(t.cellOf(keyedEnd(marks[i], scale)));
        const auto to = static_cast<int>(t.cellOf(keyedStart(marks[i + 1], scale)));
        return !anyGuessed(guessed, from, to) && t.phaseKept(from, to - from) && keyedIn(t, from, to);
    });
}

// Whether the dots at elements `k` and `k + 1` of `code`, joined into one dash, make a character
// position `position` may hold.
bool dotsJoinedFit(std::string_view code, std::size_t k, std::size_t position)
{
    std::string joined(code.substr(0, k));
    joined += '-';
    joined += code.substr(k + 2);
    const char symbol = morseSymbolOf(joined);
    return symbol != '\0' && beaconSymbolsAt(position).find(symbol) != std::string_view::npos;
}

// Whether the dot at element `k` of `symbol` and the dot after it, read as one dash whose end faded
// away, make another character position `position` may hold (F and G, 6 and Z): only then can the
// frame not tell the two readings apart.
bool dashMayHaveFaded(char symbol, std::size_t k, std::size_t position)
{
    const std::string_view code = morseCodeOf(symbol);
    return k + 1 >= code.size() || code[k] != '.' || code[k + 1] != '.' || dotsJoinedFit(code, k, position);
}

// The energy the ticks show over what noise alone brings, in the half unit in the middle of the gap
// after mark `i`.
double toneInGap(
    const TickLikelihood& t, std::span<const KeyedMark> marks, std::size_t i, double dot, TickScale scale)
{
    const double middle = keyedEnd(marks[i], scale) + 0.5 * marks[i].gap;
    const double half = 0.25 * dot;
    const double a = t.amplitudeOver(middle - half, middle + half);
    return a * a * 2.0 * half;
}

// Whether every dot the marks read next to a lost one, and the character that may be any letter or
// digit, lies out of a fade where a dot may have been lost unseen. In a null a dash whose
// end faded away keys as a dot, and a dot read lost after it makes another character (G as F);
// the ticks there, at the bottom of the null, see neither the dot nor the end of the dash, so
// nothing witnesses the reading where that mark falls 3 dB below the characters' level, even
// raised by its noise's standard errors, unless the ticks show the tone clearly in the middle of
// the gap, where the lost dot was keyed: the faded end of a dash leaves nothing clear there, and a
// mark only a little down may still be the strong start of a dash whose end fell into a null.
// Where that dash would make a character the position cannot hold, the frame tells them apart.
bool lostDotsWitnessed(const TickLikelihood& t, const FoundBeacon& found, const MarkLevels& levels,
    std::span<const KeyedMark> marks, TickScale scale, double noise)
{
    const auto dotShown = [&](std::size_t i) {
        return toneInGap(t, marks, i, found.timing.dot, scale) > toneShown * noise;
    };
    // The position that may hold any letter or digit is read without repairs: next to a space long
    // enough to hold a dot lost at its end, in a fade, it may be another character (W read as M).
    const auto open = static_cast<std::size_t>(beacon::skippedPosition - 1);
    const auto swallowing = [&](std::size_t i) {
        const double units = (marks[i].gap + found.timing.bias) / found.timing.dot;
        return units >= swallowingSpace && units < wordSpace;
    };
    const std::size_t head = found.boundary[open];
    const std::size_t tail = found.boundary[open + 1] - 1;
    if ((head > 0 && swallowing(head - 1) && levels.faded(head, open)) ||
        (swallowing(tail) && levels.faded(tail, open))) {
        return false;
    }
    return std::ranges::none_of(found.dotLostAfter, [&](std::size_t i) {
        const auto p = characterOf(found, i);
        return levels.faded(i, p, lostDotShare) && !dotShown(i) &&
            dashMayHaveFaded(found.text[p], i - found.boundary[p], p);
    });
}

// Whether marks `i` and `i + 1` of character `p` lie an element space apart, one of them in a fade.
bool fadedPair(const FoundBeacon& found, const MarkLevels& levels, std::span<const KeyedMark> marks,
    std::size_t i, std::size_t p)
{
    return classifyGap(marks[i].gap, found.timing) == GapClass::Element &&
        (levels.faded(i, p) || levels.faded(i + 1, p));
}

// Whether every element the marks read at position `p` is a mark of their own (no dot put back).
bool keyedWhole(const FoundBeacon& found, std::size_t p)
{
    return morseCodeOf(found.text[p]).size() == found.boundary[p + 1] - found.boundary[p];
}

// Whether the ticks are sure of the character that may be any letter or digit where the marks read
// two of its dots an element space apart, one of them in a fade: a null inside a dash cuts it into
// two pieces that keep the timing of two dots (V read as 5), and the marks, which fit that timing
// and are read there without repairs, are no witness.
bool splitWitnessed(const SoftBeacon& reading, const FoundBeacon& found, const MarkLevels& levels,
    std::span<const KeyedMark> marks)
{
    const Timing& timing = found.timing;
    const auto p = static_cast<std::size_t>(beacon::skippedPosition - 1);
    if (reading.framed[p] >= sureSplit) {
        return true;
    }
    for (std::size_t i = found.boundary[p]; i + 1 < found.boundary[p + 1]; ++i) {
        const bool dots = classifyMark(marks[i].length, timing) == MarkClass::Dot &&
            classifyMark(marks[i + 1].length, timing) == MarkClass::Dot;
        if (dots && fadedPair(found, levels, marks, i, p)) {
            return false;
        }
    }
    return true;
}

// Where the marks read two dots an element space apart at position `p`, one of them in a fade, and
// the position may hold the dash they would make: the two pieces a null leaves of a dash keep the
// timing of two dots. Each pair by the index of its first mark.
std::vector<std::size_t> cutPairs(
    const FoundBeacon& found, const MarkLevels& levels, std::span<const KeyedMark> marks, std::size_t p)
{
    std::vector<std::size_t> pairs;
    const std::string_view code = morseCodeOf(found.text[p]);
    if (!keyedWhole(found, p)) {
        return pairs;
    }
    for (std::size_t k = 0; k + 1 < code.size(); ++k) {
        if (code[k] == '.' && code[k + 1] == '.' &&
            fadedPair(found, levels, marks, found.boundary[p] + k, p) && dotsJoinedFit(code, k, p)) {
            pairs.push_back(found.boundary[p] + k);
        }
    }
    return pairs;
}

// Whether the marks at position `p` may hold a dash a null cut in two.
bool dashMayBeCut(
    const FoundBeacon& found, const MarkLevels& levels, std::span<const KeyedMark> marks, std::size_t p)
{
    return !cutPairs(found, levels, marks, p).empty();
}

// Whether the two dots of every such pair the ticks read as the marks did are an element space
// apart there too: the tone shown in the middle of the space between them is the middle of a dash
// a null faded, which both readings broke in two (Z read as 6, sure, the ticks following the fade
// down into the null).
bool cutPairsSilent(const TickLikelihood& t, const SoftBeacon& reading, const FoundBeacon& found,
    const MarkLevels& levels, std::span<const KeyedMark> marks, TickScale scale, double noise)
{
    for (std::size_t p = 0; p < beaconLength; ++p) {
        if (reading.text[p] != found.text[p]) {
            continue;
        }
        for (const std::size_t i : cutPairs(found, levels, marks, p)) {
            if (toneInGap(t, marks, i, found.timing.dot, scale) > gapToneShown * noise) {
                return false;
            }
        }
    }
    return true;
}

// Whether a mark of character `p` lies under `share` of the characters' level (a fade: 6 dB).
bool fadedAt(const FoundBeacon& found, const MarkLevels& levels, std::size_t p, double share = fadedShare)
{
    for (std::size_t i = found.boundary[p]; i < found.boundary[p + 1]; ++i) {
        if (levels.faded(i, p, share)) {
            return true;
        }
    }
    return false;
}

// Whether `left` is the marks' character `p` with a whole dash left out whose own mark lies in a
// fade (6 dB down): at the bottom of a null the ticks lose a dash the threshold still caught (O read
// as M). A dash keyed at the characters' level is no null's doing.
bool dashLostInNull(std::string_view left, const FoundBeacon& found, const MarkLevels& levels, std::size_t p)
{
    const std::string_view code = morseCodeOf(found.text[p]);
    if (left.size() + 1 != code.size()) {
        return false;
    }
    for (std::size_t k = 0; k < code.size(); ++k) {
        if (code[k] == '-' && left.substr(0, k) == code.substr(0, k) &&
            left.substr(k) == code.substr(k + 1) && levels.faded(found.boundary[p] + k, p)) {
            return true;
        }
    }
    return false;
}

} // namespace

double keyedStart(const KeyedMark& mark, TickScale scale)
{
    // A mark is keyed from half a filter before the threshold saw it rise.
    return mark.start + 1.0 - 0.5 * scale.filterLength;
}

double keyedEnd(const KeyedMark& mark, TickScale scale)
{
    return keyedStart(mark, scale) + mark.length;
}

double ticksReadAfter(const Timing& timing)
{
    return marginUnits * timing.dot + (TickLikelihood::dashMax + 2) * timing.dot / cellsPerUnit;
}

std::optional<SoftBeacon> rereadBeacon(const TickHistory& ticks, double noise, TickScale scale,
    const Timing& timing, std::span<const KeyedMark> marks, const FoundBeacon& found, bool readLower)
{
    if (noise <= 0.0 || !timing.known()) {
        return std::nullopt;
    }
    const double dot = timing.dot;
    const double firstStart = keyedStart(marks[found.boundary[0]], scale);
    const double lastEnd = keyedEnd(marks[found.boundary[beaconLength] - 1], scale);
    // A beacon right at the start of the input has no silence before it to look at.
    const double origin = std::max(firstStart - marginUnits * dot, static_cast<double>(ticks.begin() + 1));
    // As far past the last mark as the ticks already go, and further by as much as the ticks may
    // move a character: they may end the beacon that much later.
    const double cell = dot / cellsPerUnit;
    const double until = std::min(lastEnd + marginUnits * dot + beamCells * cell,
        static_cast<double>(ticks.end() - 1) - (TickLikelihood::dashMax + 1) * cell);
    if (until < lastEnd + cell) {
        return std::nullopt;
    }
    TickLikelihood t(ticks, origin, static_cast<int>((until - origin) / cell), noise, dot);
    if (!t.valid()) {
        return std::nullopt;
    }
    std::vector<bool> guessed;
    MarkLevels levels;
    const auto beams = layOut(t, marks, found, scale, dot, noise, guessed, levels);
    if (!beams) {
        return std::nullopt;
    }
    CharacterReader reader(t);
    const FramePass pass = passFrame(reader, *beams, t.cells());

    SoftBeacon result;
    Scores scratch(static_cast<std::size_t>(t.cells()) + 1);
    // Where each chosen character starts and ends on the best reading.
    Cells startCell {};
    Cells endCell {};
    for (std::size_t p = 0; p < beaconLength; ++p) {
        const Beam beam = (*beams)[p];
        result.inFade[p] = fadedAt(found, levels, p);
        const Choice chosen = choose(reader, pass, beam, p, result.inFade[p]);
        if (chosen.score == -infinity) {
            return std::nullopt;
        }
        if (p + 1 == beaconLength && !lastElementsSure(chosen.symbol, chosen.score, [&](char symbol) {
                reader.forward(morseCodeOf(symbol), pass.starts[p], scratch, beam);
                return bestJoin(scratch, pass.ends[p], beam, nullptr);
            })) {
            return std::nullopt;
        }
        endCell[p] = chosen.end;
        result.dashCut[p] = dashMayBeCut(found, levels, marks, p);
        result.nulledOut[p] = chosen.symbol != found.text[p] && keyedWhole(found, p) &&
            ((fadedAt(found, levels, p, fadingShare) &&
                 leftByNull(morseCodeOf(chosen.symbol), morseCodeOf(found.text[p]))) ||
                dashLostInNull(morseCodeOf(chosen.symbol), found, levels, p));
        result.framed[p] = chosen.framed;
        result.text += chosen.symbol;
        result.confidence[p] = chosen.open;
        reader.backward(morseCodeOf(chosen.symbol), pass.ends[p], scratch, beam);
        bestJoin(scratch, pass.starts[p], beam, &startCell[p]);
        // Deep in a fade the ticks alone no longer tell a dot from a space: what they read there is
        // no more than a guess the marks must bear out.
        // So is a character whose sureness rests on an element at the noise's level.
        result.atNoiseLevel[p] = !keyedClearly(t, morseCodeOf(chosen.symbol), startCell[p], endCell[p],
            found.boundary[p + 1] - found.boundary[p]);
        if (anyGuessed(guessed, startCell[p], endCell[p]) || result.atNoiseLevel[p]) {
            result.framed[p] = std::min(result.framed[p], guessConfidence);
            result.confidence[p] = std::min(result.confidence[p], guessConfidence);
        }
    }
    if (!lostDotsWitnessed(t, found, levels, marks, scale, noise) ||
        !cutPairsSilent(t, result, found, levels, marks, scale, noise) ||
        !splitWitnessed(result, found, levels, marks)) {
        return std::nullopt;
    }
    if (!framedWell(t, startCell, endCell) || !mergesKeyed(t, marks, found, scale, guessed, levels)) {
        return std::nullopt;
    }
    // The marks' word space after the beacon witnesses the quiet where the ticks end it with them;
    // where the ticks put back an element after the marks' last, the ticks must hear it themselves.
    result.quietAfterHeard =
        endCell.back() <= t.cellOf(lastEnd) + cellsPerUnit || endCell.back() + quietTo <= t.cells();
    result.framedLower = result.framed;
    // Read again lower only where the marks leave the ticks alone, or a fade leaves the level in
    // doubt (it doubles the reading's cost). Read through fades, the level drawn across a null may
    // be off for a character beside one as much as for one in it (C read as F, sure, but a guess a
    // little lower, next to the null that took its first dash).
    const bool faded = std::ranges::find(result.inFade, true) != result.inFade.end();
    if ((readLower && !sureEnough(found, Acceptance {})) || faded) {
        t.scaleAmplitudes(lowerLevel);
        const FramePass lower = passFrame(reader, *beams, t.cells());
        for (std::size_t p = 0; p < beaconLength; ++p) {
            const Choice chosen = choose(reader, lower, (*beams)[p], p, result.inFade[p]);
            result.framedLower[p] = chosen.symbol == result.text[p]
                ? std::min(result.framed[p], chosen.framed)
                : std::min(result.framed[p], guessConfidence);
            result.restsOnLevel[p] =
                faded && result.framed[p] > guessConfidence && result.framedLower[p] <= guessConfidence;
            // Read lower, the ticks come round to the character the marks are sure of: two readings
            // against one that rests on the level drawn across a null. Still only a guess of the
            // ticks, which the marks bear out.
            if (result.restsOnLevel[p] && chosen.symbol != result.text[p] && chosen.symbol == found.text[p] &&
                found.confidence[p] >= sureMarks) {
                result.text[p] = chosen.symbol;
                result.framed[p] = result.framedLower[p] = result.confidence[p] = guessConfidence;
                result.restsOnLevel[p] = false;
            }
        }
    }
    return result;
}

} // namespace cwaudio
