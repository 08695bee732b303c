// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver_chain.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwsynth {

namespace {

constexpr double lowEdgeHz = 300.0;
constexpr double highEdgeHz = 2700.0;
// The two sections of a fourth-order Butterworth filter.
constexpr std::array<double, 2> butterworthQ { 0.5412, 1.3066 };
constexpr double attackSeconds = 0.002;
constexpr double releaseSeconds = 0.5;
constexpr double targetPeak = 0.3;
constexpr double maxGain = 1000.0;

} // namespace

double ReceiverChain::Biquad::run(double x)
{
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
}

ReceiverChain::ReceiverChain(double sampleRate)
    : m_attack(1.0 - std::exp(-1.0 / (attackSeconds * sampleRate)))
    , m_release(1.0 - std::exp(-1.0 / (releaseSeconds * sampleRate)))
{
    // Bilinear-transform sections (the audio EQ cookbook's high- and low-pass).
    const auto section = [&](double hz, double q, bool highPass) {
        const double w = 2 * std::numbers::pi * hz / sampleRate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        const double b1 = highPass ? -(1 + c) : 1 - c;
        const double b0 = highPass ? (1 + c) / 2 : (1 - c) / 2;
        return Biquad { b0 / a0, b1 / a0, b0 / a0, -2 * c / a0, (1 - alpha) / a0 };
    };
    m_sections = { section(lowEdgeHz, butterworthQ[0], true), section(lowEdgeHz, butterworthQ[1], true),
        section(highEdgeHz, butterworthQ[0], false), section(highEdgeHz, butterworthQ[1], false) };
}

float ReceiverChain::process(float x)
{
    double y = x;
    for (Biquad& s : m_sections) {
        y = s.run(y);
    }
    const double magnitude = std::abs(y);
    m_level += (magnitude > m_level ? m_attack : m_release) * (magnitude - m_level);
    const double gain = std::min(maxGain, targetPeak / std::max(m_level, 1e-9));
    return static_cast<float>(y * gain);
}

} // namespace cwsynth
