// SPDX-License-Identifier: GPL-3.0-or-later
#include "timing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace cwaudio {

namespace {

// Hand keying stretches elements by a fair fraction; the spread is wide enough for that.
constexpr double markSpread = 0.28;
constexpr double gapSpread = 0.32;
constexpr double costCap = 12.0;
constexpr double maxBiasShare = 0.35;

double gaussian(double x, double mean, double spread)
{
    const double z = (x - mean) / spread;
    return 0.5 * z * z;
}

double logUnits(double length, double dot)
{
    return std::log(std::max(length, 0.05 * dot) / dot);
}

std::array<double, 2> markCosts(double length, const Timing& timing)
{
    const double x = logUnits(length - timing.bias, timing.dot);
    std::array<double, 2> c { gaussian(x, 0.0, markSpread), gaussian(x, std::log(3.0), markSpread) };
    // Beyond the nominal length a class only gets more likely relative to the shorter one.
    if (x < 0.0) {
        c[0] = 0.0;
    }
    if (x > std::log(3.0)) {
        c[1] = 0.0;
    }
    const double best = std::min(c[0], c[1]);
    return { std::min(c[0] - best, costCap), std::min(c[1] - best, costCap) };
}

std::array<double, 3> gapCosts(double length, const Timing& timing)
{
    const double x = logUnits(length + timing.bias, timing.dot);
    std::array<double, 3> c { gaussian(x, 0.0, gapSpread), gaussian(x, std::log(3.0), gapSpread),
        gaussian(x, std::log(7.0), gapSpread) };
    if (x < 0.0) {
        c[0] = 0.0;
    }
    if (x > std::log(7.0)) {
        c[2] = 0.0;
    }
    const double best = std::min({ c[0], c[1], c[2] });
    for (double& v : c) {
        v = std::min(v - best, costCap);
    }
    return c;
}

} // namespace

Timing estimateTiming(std::span<const double> marks, Timing fallback)
{
    if (marks.size() < 3) {
        return fallback;
    }
    std::vector<double> sorted(marks.begin(), marks.end());
    std::ranges::sort(sorted);
    std::vector<double> logs(sorted.size());
    std::ranges::transform(sorted, logs.begin(), [](double v) { return std::log(std::max(v, 1e-3)); });

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
    double shortSum = 0;
    double longSum = 0;
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        (k < split ? shortSum : longSum) += sorted[k];
    }
    const auto shortCount = static_cast<double>(split);
    const auto longCount = n - shortCount;
    const double shortMean = shortSum / shortCount;
    const double longMean = longSum / longCount;
    const double ratio = longMean / shortMean;
    if (ratio < 1.9 || ratio > 5.5) {
        return fallback;
    }
    Timing timing;
    if (shortCount >= 2 && longCount >= 2) {
        // A dash is three dots, so the difference of the two means is free of the threshold's bias.
        timing.dot = (longMean - shortMean) / 2;
        timing.bias = std::clamp(shortMean - timing.dot, -maxBiasShare * timing.dot, maxBiasShare * timing.dot);
    } else {
        timing.dot = (shortSum + longSum / 3) / n;
    }
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

MarkClass classifyMark(double length, const Timing& timing)
{
    const auto c = markCosts(length, timing);
    return c[0] <= c[1] ? MarkClass::Dot : MarkClass::Dash;
}

GapClass classifyGap(double length, const Timing& timing)
{
    const auto c = gapCosts(length, timing);
    if (c[0] == 0.0) {
        return GapClass::Element;
    }
    return c[1] == 0.0 ? GapClass::Character : GapClass::Word;
}

} // namespace cwaudio
