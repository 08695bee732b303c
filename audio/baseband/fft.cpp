// SPDX-License-Identifier: GPL-3.0-or-later
#include "fft.h"

#include "vector_state.h"

#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>

namespace cwaudio {

namespace {

// One group of butterflies of a stage: the halves never overlap, which lets the compiler vectorise.
VECTORISED_BODY inline void butterflies(float* __restrict ar, float* __restrict ai, float* __restrict br,
    float* __restrict bi, const float* __restrict wr, const float* __restrict wi, int count)
{
    for (int k = 0; k < count; ++k) {
        const float xr = br[k] * wr[k] - bi[k] * wi[k];
        const float xi = br[k] * wi[k] + bi[k] * wr[k];
        br[k] = ar[k] - xr;
        bi[k] = ai[k] - xi;
        ar[k] += xr;
        ai[k] += xi;
    }
}

// |X[k]|^2 for k in [first, last) from Z, the transform of the even samples (real part) and the
// odd ones (imaginary part), with Z[-k] at `mirrorRe`[-k]: X[k] = E[k] + w^k O[k], E and O the
// transforms of the even and odd samples, E[k] = (Z[k] + conj Z[-k]) / 2, O[k] = (Z[k] - conj Z[-k]) / 2j.
VECTORISED_BODY inline void unpackPower(const float* __restrict re, const float* __restrict im,
    const float* __restrict mirrorRe, const float* __restrict mirrorIm, const float* __restrict wr,
    const float* __restrict wi, float* __restrict power, int first, int last)
{
    for (int k = first; k < last; ++k) {
        const float er = 0.5f * (re[k] + mirrorRe[-k]);
        const float ei = 0.5f * (im[k] - mirrorIm[-k]);
        const float or_ = 0.5f * (im[k] + mirrorIm[-k]);
        const float oi = -0.5f * (re[k] - mirrorRe[-k]);
        const float xr = er + wr[k] * or_ - wi[k] * oi;
        const float xi = ei + wr[k] * oi + wi[k] * or_;
        power[k] = xr * xr + xi * xi;
    }
}

// One butterfly of values a and b with twiddle w.
VECTORISED_BODY inline void butterfly(float& ar, float& ai, float& br, float& bi, float wr, float wi)
{
    const float xr = br * wr - bi * wi;
    const float xi = br * wi + bi * wr;
    br = ar - xr;
    bi = ai - xi;
    ar += xr;
    ai += xi;
}

// The first two stages together, four values at a time, the value 4g + c of the bit-reversed
// frame at column c's g-th place: along the columns their butterflies vectorise. Written to
// re/im in order.
VECTORISED_BODY inline void firstTwoStages(const float* __restrict columnRe, const float* __restrict columnIm,
    std::size_t groups, const float* wr, const float* wi, float* __restrict re, float* __restrict im)
{
    for (std::size_t g = 0; g < groups; ++g) {
        float r0 = columnRe[g];
        float r1 = columnRe[groups + g];
        float r2 = columnRe[2 * groups + g];
        float r3 = columnRe[3 * groups + g];
        float i0 = columnIm[g];
        float i1 = columnIm[groups + g];
        float i2 = columnIm[2 * groups + g];
        float i3 = columnIm[3 * groups + g];
        butterfly(r0, i0, r1, i1, wr[0], wi[0]);
        butterfly(r2, i2, r3, i3, wr[0], wi[0]);
        butterfly(r0, i0, r2, i2, wr[1], wi[1]);
        butterfly(r1, i1, r3, i3, wr[2], wi[2]);
        re[4 * g] = r0;
        re[4 * g + 1] = r1;
        re[4 * g + 2] = r2;
        re[4 * g + 3] = r3;
        im[4 * g] = i0;
        im[4 * g + 1] = i1;
        im[4 * g + 2] = i2;
        im[4 * g + 3] = i3;
    }
}

} // namespace

Fft::Fft(int size)
    : m_size(size)
    , m_half(size / 2)
    , m_inputAt(size / 2)
    , m_columnRe(size / 2)
    , m_columnIm(size / 2)
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
        m_inputAt[i] = m_half >= 4 ? (r % 4) * (m_half / 4) + r / 4 : r;
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

VECTORISED_BODY inline void Fft::transformHalf()
{
    float* const re = m_re.data();
    float* const im = m_im.data();
    const float* wr = m_twiddleRe.data();
    const float* wi = m_twiddleIm.data();
    int half = 1;
    if (m_half >= 4) {
        firstTwoStages(
            m_columnRe.data(), m_columnIm.data(), static_cast<std::size_t>(m_half / 4), wr, wi, re, im);
        wr += 3;
        wi += 3;
        half = 4;
    }
    // Real and imaginary parts in arrays of their own, so the butterflies of a stage vectorise.
    for (; half < m_half; half *= 2) {
        for (int start = 0; start < m_half; start += 2 * half) {
            butterflies(re + start, im + start, re + start + half, im + start + half, wr, wi, half);
        }
        wr += half;
        wi += half;
    }
}

void Fft::power(std::span<const float> input, std::span<float> power)
{
    assert(static_cast<int>(input.size()) == m_size && static_cast<int>(power.size()) >= m_half);
    // Even samples as the real part, odd ones as the imaginary part of a half-size frame, each
    // put straight into its bit-reversed place.
    const auto half = static_cast<std::size_t>(m_half);
    float* const toRe = m_half >= 4 ? m_columnRe.data() : m_re.data();
    float* const toIm = m_half >= 4 ? m_columnIm.data() : m_im.data();
    for (std::size_t i = 0; i < half; ++i) {
        const auto at = static_cast<std::size_t>(m_inputAt[i]);
        toRe[at] = input[2 * i];
        toIm[at] = input[2 * i + 1];
    }
    runVectorised([&]() VECTORISED_BODY {
        transformHalf();
        // Z[-k] is Z[half - k], and Z[0] for k = 0.
        const float* re = m_re.data();
        const float* im = m_im.data();
        unpackPower(re, im, re, im, m_unpackRe.data(), m_unpackIm.data(), power.data(), 0, 1);
        unpackPower(
            re, im, re + m_half, im + m_half, m_unpackRe.data(), m_unpackIm.data(), power.data(), 1, m_half);
    });
}

} // namespace cwaudio
