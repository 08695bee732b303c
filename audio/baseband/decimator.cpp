// SPDX-License-Identifier: GPL-3.0-or-later
#include "decimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

constexpr double highestWorkingRate = 16000.0;
constexpr double workingRate = 8000.0;
// The tone may be up to 3000 Hz.
constexpr double passbandEdge = 3000.0;

} // namespace

Decimator::Decimator(double inputRate)
    : m_factor(inputRate >= highestWorkingRate ? static_cast<int>(inputRate / workingRate) : 1)
    , m_outputRate(inputRate / m_factor)
{
    if (m_factor == 1) {
        return;
    }
    // Blackman-windowed sinc, cut off between the CW band and the new Nyquist frequency.
    const int length = 8 * m_factor + 1;
    const double cutoff =
        std::min(passbandEdge + 0.5 * (m_outputRate / 2 - passbandEdge), 0.45 * m_outputRate) / inputRate;
    m_taps.resize(length);
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        const double n = i - (length - 1) / 2.0;
        const double sinc =
            n == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * n) / (std::numbers::pi * n);
        const double phase = 2 * std::numbers::pi * i / (length - 1);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        m_taps[i] = static_cast<float>(sinc * window);
        sum += m_taps[i];
    }
    for (float& tap : m_taps) {
        tap = static_cast<float>(tap / sum);
    }
    m_history.assign(length - 1, 0.0f);
}

void Decimator::process(std::span<const float> input, std::vector<float>& output)
{
    if (m_factor == 1) {
        output.insert(output.end(), input.begin(), input.end());
        return;
    }
    const std::size_t taps = m_taps.size();
    const std::size_t keep = taps - 1;
    m_history.insert(m_history.end(), input.begin(), input.end());
    const std::size_t available = m_history.size() - keep; // new samples
    const auto factor = static_cast<std::size_t>(m_factor);
    std::size_t i = m_phase;
    if (i < available) {
        // Output j is the sum over k of tap k times m_history[i + j * factor + k]. Taken one phase
        // (k modulo the factor) at a time, each tap scales a run of consecutive samples of that
        // phase, which vectorises, instead of a sum along each output's window, which does not.
        const std::size_t outputs = (available - 1 - i) / factor + 1;
        const std::size_t first = output.size();
        output.resize(first + outputs, 0.0f);
        float* out = output.data() + first;
        const std::size_t perPhase = (taps + factor - 1) / factor;
        m_phaseSamples.resize(outputs + perPhase);
        for (std::size_t p = 0; p < factor && p < taps; ++p) {
            const std::size_t runs = (taps - p + factor - 1) / factor; // taps of this phase
            const float* x = m_history.data() + i + p;
            for (std::size_t m = 0; m < outputs + runs - 1; ++m) {
                m_phaseSamples[m] = x[m * factor];
            }
            for (std::size_t q = 0; q < runs; ++q) {
                const float tap = m_taps[q * factor + p];
                const float* run = m_phaseSamples.data() + q;
                for (std::size_t j = 0; j < outputs; ++j) {
                    out[j] += tap * run[j];
                }
            }
        }
        i += outputs * factor;
    }
    m_phase = static_cast<int>(i - available);
    m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(available));
}

} // namespace cwaudio
