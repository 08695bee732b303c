// SPDX-License-Identifier: GPL-3.0-or-later
#include "timing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace cwaudio {

namespace {

// Hand keying stretches elements by a fair fraction; the spread is wide enough for that.
constexpr double minSpread = 0.22;
constexpr double maxSpread = 0.6;
constexpr std::size_t minSpreadSamples = 12;
constexpr double costCap = 12.0;
constexpr double maxBiasShare = 0.35;

double gaussian(double x, double mean, double spread)
{
    const double z = (x - mean) / spread;
    return 0.5 * z * z;
}

// Penalty for an element under half a unit, which no class explains well.
double shortfall(double x, double spread)
{
    const double limit = std::log(0.5);
    return x < limit ? gaussian(x, limit, spread) : 0.0;
}

// Penalty for a mark well over a dash: two elements run together through a gap the noise filled.
double overrun(double x, double spread)
{
    const double limit = std::log(4.5);
    return x > limit ? gaussian(x, limit, spread) : 0.0;
}

double logUnits(double length, double dot)
{
    return std::log(std::max(length, 0.05 * dot) / dot);
}

std::array<double, 2> markCosts(double length, const Timing& timing)
{
    const double x = logUnits(length - timing.bias, timing.dot);
    std::array<double, 2> c { gaussian(x, 0.0, timing.markSpread),
        gaussian(x, std::log(3.0), timing.markSpread) };
    // A long dash is still a dash, up to a point; a mark much shorter than a dot or much longer
    // than a dash is unlikely whatever it is, so there nothing is taken off.
    if (x > std::log(3.0)) {
        c[1] = 0.0;
    }
    const double best =
        std::min(c[0], c[1]) - shortfall(x, timing.markSpread) - overrun(x, timing.markSpread);
    return { std::min(c[0] - best, costCap), std::min(c[1] - best, costCap) };
}

std::array<double, 3> gapCosts(double length, const Timing& timing)
{
    const double x = logUnits(length + timing.bias, timing.dot);
    const double spread = timing.gapSpread;
    std::array<double, 3> c { gaussian(x, 0.0, spread), gaussian(x, std::log(3.0), spread),
        gaussian(x, std::log(7.0), spread) };
    if (x > std::log(7.0)) {
        c[2] = 0.0;
    }
    const double best = std::min({ c[0], c[1], c[2] }) - shortfall(x, spread);
    for (double& v : c) {
        v = std::min(v - best, costCap);
    }
    return c;
}

double robustSpread(std::vector<double>& deviations, double fallback)
{
    if (deviations.size() < minSpreadSamples) {
        return fallback;
    }
    auto mid = deviations.begin() + static_cast<std::ptrdiff_t>(deviations.size() / 2);
    std::nth_element(deviations.begin(), mid, deviations.end());
    // Median absolute deviation, scaled to a standard deviation.
    return std::clamp(1.4826 * *mid, minSpread, maxSpread);
}

// How far the elements stray from whole units: wide at low SNR, so doubtful elements get doubtful
// costs there instead of the confidence a clean recording would earn them.
void measureSpread(std::span<const KeyedMark> marks, Timing& timing)
{
    std::vector<double> markDeviations;
    std::vector<double> gapDeviations;
    for (const KeyedMark& m : marks) {
        const double x = logUnits(m.length - timing.bias, timing.dot);
        markDeviations.push_back(std::min(std::abs(x), std::abs(x - std::log(3.0))));
        if (m.gap > 0.0) {
            const double g = logUnits(m.gap + timing.bias, timing.dot);
            if (g < std::log(5.0)) {
                gapDeviations.push_back(std::min(std::abs(g), std::abs(g - std::log(3.0))));
            }
        }
    }
    timing.markSpread = robustSpread(markDeviations, timing.markSpread);
    timing.gapSpread = robustSpread(gapDeviations, timing.gapSpread);
}

} // namespace

SpeedRange speedRangeFor(double tickRate)
{
    // PARIS timing: a dot lasts 1.2 s / WPM.
    return { 1.2 / 35.0 * tickRate, 1.2 / 8.0 * tickRate };
}

Timing estimateTiming(std::span<const KeyedMark> marks, Timing fallback, const SpeedRange& range)
{
    if (marks.size() < 3) {
        return fallback;
    }
    std::vector<double> logs;
    logs.reserve(marks.size());
    for (const KeyedMark& m : marks) {
        logs.push_back(std::log(std::max(m.length, 1e-3)));
    }
    std::ranges::sort(logs);

    // Otsu's split of the log lengths: the threshold that best separates two groups.
    const auto n = static_cast<double>(logs.size());
    double total = 0;
    for (const double v : logs) {
        total += v;
    }
    double below = 0;
    double bestScore = -1;
    std::size_t split = 0;
    for (std::size_t k = 1; k < logs.size(); ++k) {
        below += logs[k - 1];
        const auto nb = static_cast<double>(k);
        const double meanBelow = below / nb;
        const double meanAbove = (total - below) / (n - nb);
        const double score = nb * (n - nb) * (meanAbove - meanBelow) * (meanAbove - meanBelow);
        if (score > bestScore) {
            bestScore = score;
            split = k;
        }
    }
    const double cut = std::exp(0.5 * (logs[split - 1] + logs[split]));
    double shortSum = 0;
    double longSum = 0;
    double shortCount = 0;
    double gapSum = 0;
    double gapCount = 0;
    for (const KeyedMark& m : marks) {
        if (m.length < cut) {
            shortSum += m.length;
            ++shortCount;
        } else {
            longSum += m.length;
        }
        if (m.gap > 0.0 && m.gap < cut) {
            gapSum += m.gap;
            ++gapCount;
        }
    }
    const double longCount = n - shortCount;
    const double shortMean = shortSum / shortCount;
    const double ratio = (longSum / longCount) / shortMean;
    if (ratio < 1.9 || ratio > 5.5) {
        return fallback;
    }
    Timing timing;
    if (gapCount >= 2 && shortCount >= 2) {
        const double gapMean = gapSum / gapCount;
        timing.dot = 0.5 * (shortMean + gapMean);
        timing.bias =
            std::clamp(0.5 * (shortMean - gapMean), -maxBiasShare * timing.dot, maxBiasShare * timing.dot);
    } else {
        timing.dot = (shortSum + longSum / 3) / n;
    }
    if (timing.dot < range.shortestDot || timing.dot > range.longestDot) {
        return fallback;
    }
    measureSpread(marks, timing);
    return timing;
}

double markCost(double length, const Timing& timing, MarkClass cls)
{
    return markCosts(length, timing)[cls == MarkClass::Dot ? 0 : 1];
}

double gapCost(double length, const Timing& timing, GapClass cls)
{
    return gapCosts(length, timing)[static_cast<int>(cls)];
}

double gapCostUnits(double length, const Timing& timing, double units)
{
    const double x = logUnits(length + timing.bias, timing.dot);
    const double spread = timing.gapSpread;
    const double best = std::min({ gaussian(x, 0.0, spread), gaussian(x, std::log(3.0), spread),
                            x > std::log(7.0) ? 0.0 : gaussian(x, std::log(7.0), spread) }) -
        shortfall(x, spread);
    return std::clamp(gaussian(x, std::log(units), spread) - best, 0.0, costCap);
}

MarkClass classifyMark(double length, const Timing& timing)
{
    const auto c = markCosts(length, timing);
    return c[0] <= c[1] ? MarkClass::Dot : MarkClass::Dash;
}

GapClass classifyGap(double length, const Timing& timing)
{
    const auto c = gapCosts(length, timing);
    if (c[0] <= c[1] && c[0] <= c[2]) {
        return GapClass::Element;
    }
    return c[1] <= c[2] ? GapClass::Character : GapClass::Word;
}

} // namespace cwaudio
