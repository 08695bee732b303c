// SPDX-License-Identifier: GPL-3.0-or-later
#include "fft.h"

#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>

namespace cwaudio {

Fft::Fft(int size)
    : m_size(size)
    , m_half(size / 2)
    , m_bitReverse(size / 2)
    , m_unpackRe(size / 2)
    , m_unpackIm(size / 2)
    , m_re(size / 2)
    , m_im(size / 2)
{
    assert(size >= 4 && (size & (size - 1)) == 0);
    int bits = 0;
    while ((1 << bits) < m_half) {
        ++bits;
    }
    for (int i = 0; i < m_half; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) {
            r |= ((i >> b) & 1) << (bits - 1 - b);
        }
        m_bitReverse[i] = r;
    }
    for (int half = 1; half < m_half; half *= 2) {
        for (int k = 0; k < half; ++k) {
            const double angle = -std::numbers::pi * k / half;
            m_twiddleRe.push_back(static_cast<float>(std::cos(angle)));
            m_twiddleIm.push_back(static_cast<float>(std::sin(angle)));
        }
    }
    for (int k = 0; k < m_half; ++k) {
        const double angle = -2.0 * std::numbers::pi * k / size;
        m_unpackRe[k] = static_cast<float>(std::cos(angle));
        m_unpackIm[k] = static_cast<float>(std::sin(angle));
    }
}

void Fft::transformHalf()
{
    float* re = m_re.data();
    float* im = m_im.data();
    for (int i = 0; i < m_half; ++i) {
        if (i < m_bitReverse[i]) {
            std::swap(re[i], re[m_bitReverse[i]]);
            std::swap(im[i], im[m_bitReverse[i]]);
        }
    }
    const float* wr = m_twiddleRe.data();
    const float* wi = m_twiddleIm.data();
    // Real and imaginary parts in arrays of their own, so the butterflies of a stage vectorise.
    for (int half = 1; half < m_half; half *= 2) {
        for (int start = 0; start < m_half; start += 2 * half) {
            float* ar = re + start;
            float* ai = im + start;
            float* br = ar + half;
            float* bi = ai + half;
            for (int k = 0; k < half; ++k) {
                const float xr = br[k] * wr[k] - bi[k] * wi[k];
                const float xi = br[k] * wi[k] + bi[k] * wr[k];
                br[k] = ar[k] - xr;
                bi[k] = ai[k] - xi;
                ar[k] += xr;
                ai[k] += xi;
            }
        }
        wr += half;
        wi += half;
    }
}

void Fft::power(std::span<const float> input, std::span<float> power)
{
    assert(static_cast<int>(input.size()) == m_size && static_cast<int>(power.size()) >= m_half);
    // Even samples as the real part, odd ones as the imaginary part of a half-size frame.
    const auto half = static_cast<std::size_t>(m_half);
    for (std::size_t i = 0; i < half; ++i) {
        m_re[i] = input[2 * i];
        m_im[i] = input[2 * i + 1];
    }
    transformHalf();
    // X[k] = E[k] + w^k O[k], E and O the transforms of the even and odd samples:
    // E[k] = (Z[k] + conj Z[-k]) / 2, O[k] = (Z[k] - conj Z[-k]) / 2j.
    for (int k = 0; k < m_half; ++k) {
        const int m = k == 0 ? 0 : m_half - k;
        const float er = 0.5f * (m_re[k] + m_re[m]);
        const float ei = 0.5f * (m_im[k] - m_im[m]);
        const float or_ = 0.5f * (m_im[k] + m_im[m]);
        const float oi = -0.5f * (m_re[k] - m_re[m]);
        const float xr = er + m_unpackRe[k] * or_ - m_unpackIm[k] * oi;
        const float xi = ei + m_unpackRe[k] * oi + m_unpackIm[k] * or_;
        power[k] = xr * xr + xi * xi;
    }
}

} // namespace cwaudio
