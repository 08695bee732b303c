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
    const double re = m_oscillator.real();
    const double im = m_oscillator.imag();
    m_sum += std::complex<float>(static_cast<float>(sample * re), static_cast<float>(sample * im));
    m_oscillator = { re * m_step.real() - im * m_step.imag(), re * m_step.imag() + im * m_step.real() };
    if (++m_fill < m_block) {
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
