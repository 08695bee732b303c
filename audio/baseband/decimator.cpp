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
    const std::size_t keep = m_taps.size() - 1;
    m_history.insert(m_history.end(), input.begin(), input.end());
    const std::size_t available = m_history.size() - keep; // new samples
    std::size_t i = m_phase;
    for (; i < available; i += m_factor) {
        const float* x = m_history.data() + i; // the window ends at new sample i
        float acc = 0;
        for (std::size_t k = 0; k < m_taps.size(); ++k) {
            acc += m_taps[k] * x[k];
        }
        output.push_back(acc);
    }
    m_phase = static_cast<int>(i - available);
    m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(available));
}

} // namespace cwaudio
