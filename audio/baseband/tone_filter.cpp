// SPDX-License-Identifier: GPL-3.0-or-later
#include "tone_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// One sample mixed down by the oscillator (re, im), which then turns by one step.
inline void mix(float sample, double& re, double& im, double stepRe, double stepIm, std::complex<float>& sum)
{
    sum += std::complex<float>(static_cast<float>(sample * re), static_cast<float>(sample * im));
    const double nextRe = re * stepRe - im * stepIm;
    im = re * stepIm + im * stepRe;
    re = nextRe;
}

} // namespace

bool ToneFilter::push(std::span<const float> samples, std::complex<float>& out)
{
    double re = m_oscillator.real();
    double im = m_oscillator.imag();
    const double stepRe = m_step.real();
    const double stepIm = m_step.imag();
    std::complex<float> sum = m_sum;
    for (const float sample : samples) {
        mix(sample, re, im, stepRe, stepIm, sum);
    }
    m_oscillator = { re, im };
    m_sum = sum;
    return advance(samples.size(), out);
}

bool ToneFilter::pushPair(ToneFilter& a, ToneFilter& b, std::span<const float> samples,
    std::complex<float>& outA, std::complex<float>& outB)
{
#if defined(__SSE2__)
    // Both oscillators in one register (a low, b high): each turns by the same operations as in
    // push(), and the one chain of dependent steps serves both.
    __m128d re = _mm_set_pd(b.m_oscillator.real(), a.m_oscillator.real());
    __m128d im = _mm_set_pd(b.m_oscillator.imag(), a.m_oscillator.imag());
    const __m128d stepRe = _mm_set_pd(b.m_step.real(), a.m_step.real());
    const __m128d stepIm = _mm_set_pd(b.m_step.imag(), a.m_step.imag());
    __m128 sumRe = _mm_set_ps(0.0f, 0.0f, b.m_sum.real(), a.m_sum.real());
    __m128 sumIm = _mm_set_ps(0.0f, 0.0f, b.m_sum.imag(), a.m_sum.imag());
    for (const float sample : samples) {
        const __m128d x = _mm_set1_pd(static_cast<double>(sample));
        sumRe = _mm_add_ps(sumRe, _mm_cvtpd_ps(_mm_mul_pd(x, re)));
        sumIm = _mm_add_ps(sumIm, _mm_cvtpd_ps(_mm_mul_pd(x, im)));
        const __m128d nextRe = _mm_sub_pd(_mm_mul_pd(re, stepRe), _mm_mul_pd(im, stepIm));
        im = _mm_add_pd(_mm_mul_pd(re, stepIm), _mm_mul_pd(im, stepRe));
        re = nextRe;
    }
    alignas(16) double reOut[2];
    alignas(16) double imOut[2];
    alignas(16) float sumReOut[4];
    alignas(16) float sumImOut[4];
    _mm_store_pd(reOut, re);
    _mm_store_pd(imOut, im);
    _mm_store_ps(sumReOut, sumRe);
    _mm_store_ps(sumImOut, sumIm);
    a.m_oscillator = { reOut[0], imOut[0] };
    b.m_oscillator = { reOut[1], imOut[1] };
    a.m_sum = { sumReOut[0], sumImOut[0] };
    b.m_sum = { sumReOut[1], sumImOut[1] };
#else
    double reA = a.m_oscillator.real();
    double imA = a.m_oscillator.imag();
    double reB = b.m_oscillator.real();
    double imB = b.m_oscillator.imag();
    std::complex<float> sumA = a.m_sum;
    std::complex<float> sumB = b.m_sum;
    for (const float sample : samples) {
        mix(sample, reA, imA, a.m_step.real(), a.m_step.imag(), sumA);
        mix(sample, reB, imB, b.m_step.real(), b.m_step.imag(), sumB);
    }
    a.m_oscillator = { reA, imA };
    b.m_oscillator = { reB, imB };
    a.m_sum = sumA;
    b.m_sum = sumB;
#endif
    const bool complete = a.advance(samples.size(), outA);
    b.advance(samples.size(), outB);
    return complete;
}

bool ToneFilter::advance(std::size_t count, std::complex<float>& out)
{
    m_fill += static_cast<int>(count);
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
