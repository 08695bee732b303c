// SPDX-License-Identifier: GPL-3.0-or-later
#include "element_evidence.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace cwaudio {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr int unit = TickLikelihood::cellsPerUnit;
// Energy over the noise's that noise alone tops one time in 20.
constexpr double clearOfNoise = 2.0;

// The best layout of a character's elements up to one that ends at a given cell.
struct Layout
{
    double score = -infinity;
    int first = 0; // where that element began
    int length = 0;
    int before = 0; // where the element before it ended
};

// layouts[k][c]: the best layout with element k ending at cell start + c.
std::vector<std::vector<Layout>> layElements(
    const TickLikelihood& ticks, std::string_view code, int start, int end)
{
    const auto at = [start](int cell) { return static_cast<std::size_t>(cell - start); };
    std::vector<std::vector<Layout>> layouts(code.size(), std::vector<Layout>(at(end) + 1));
    for (std::size_t k = 0; k < code.size(); ++k) {
        const bool dot = code[k] == '.';
        const int shortest = dot ? TickLikelihood::dotMin : TickLikelihood::dashMin;
        const int longest = dot ? TickLikelihood::dotMax : TickLikelihood::dashMax;
        for (int first = start; first < end; ++first) {
            // The first element begins at the start, every other an element gap after the one before.
            double reached = k == 0 && first == start ? 0.0 : -infinity;
            int before = start;
            for (int gap = TickLikelihood::elementGapMin;
                 k > 0 && gap <= TickLikelihood::elementGapMax && first - gap > start; ++gap) {
                const double s = layouts[k - 1][at(first - gap)].score - durationCost(gap, unit);
                if (s > reached) {
                    reached = s;
                    before = first - gap;
                }
            }
            if (reached == -infinity) {
                continue;
            }
            for (int length = shortest; length <= longest && first + length <= end; ++length) {
                const double score =
                    reached + (dot ? ticks.dotAt(first, length) : ticks.dashAt(first, length));
                Layout& to = layouts[k][at(first + length)];
                if (score > to.score) {
                    to = { score, first, length, before };
                }
            }
        }
    }
    return layouts;
}

} // namespace

bool keyedClearly(const TickLikelihood& ticks, std::string_view code, int start, int end, std::size_t seen)
{
    if (seen >= code.size() || start < 0 || end > ticks.cells() || end <= start) {
        return true;
    }
    const auto layouts = layElements(ticks, code, start, end);
    // Back from the end along the best layout.
    int ending = end;
    for (std::size_t k = code.size(); k-- > 0;) {
        const Layout& l = layouts[k][static_cast<std::size_t>(ending - start)];
        if (l.score == -infinity) {
            return true;
        }
        if (ticks.energyOverNoise(l.first, l.length) < clearOfNoise) {
            return false;
        }
        ending = l.before;
    }
    return true;
}

} // namespace cwaudio
