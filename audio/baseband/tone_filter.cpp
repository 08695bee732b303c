// SPDX-License-Identifier: GPL-3.0-or-later
#include "tone_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwaudio {

namespace {

constexpr double blockSeconds = 0.005;

} // namespace

ToneFilter::ToneFilter(double sampleRate)
    : m_rate(sampleRate)
    , m_block(std::max(1, static_cast<int>(std::lround(sampleRate * blockSeconds))))
{
}

void ToneFilter::setFrequency(double hz)
{
    const double angle = -2.0 * std::numbers::pi * hz / m_rate;
    m_step = { std::cos(angle), std::sin(angle) };
}

bool ToneFilter::push(float sample, std::complex<float>& out)
{
    return push(std::span<const float>(&sample, 1), out);
}

bool ToneFilter::push(std::span<const float> samples, std::complex<float>& out)
{
    double re = m_oscillator.real();
    double im = m_oscillator.imag();
    const double stepRe = m_step.real();
    const double stepIm = m_step.imag();
    std::complex<float> sum = m_sum;
    for (const float sample : samples) {
        sum += std::complex<float>(static_cast<float>(sample * re), static_cast<float>(sample * im));
        const double nextRe = re * stepRe - im * stepIm;
        im = re * stepIm + im * stepRe;
        re = nextRe;
    }
    m_oscillator = { re, im };
    m_sum = sum;
    m_fill += static_cast<int>(samples.size());
    if (m_fill < m_block) {
        return false;
    }
    // Renormalise once a block so rounding never lets the oscillator grow or fade.
    m_oscillator /= std::abs(m_oscillator);
    out = m_sum / static_cast<float>(m_block);
    m_sum = { 0.0f, 0.0f };
    m_fill = 0;
    return true;
}

} // namespace cwaudio
