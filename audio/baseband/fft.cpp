// SPDX-License-Identifier: GPL-3.0-or-later
#include "fft.h"

#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>

namespace cwaudio {

Fft::Fft(int size)
    : m_size(size)
    , m_bitReverse(size)
    , m_twiddles(size / 2)
    , m_buffer(size)
{
    assert(size >= 2 && (size & (size - 1)) == 0);
    int bits = 0;
    while ((1 << bits) < size) {
        ++bits;
    }
    for (int i = 0; i < size; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) {
            r |= ((i >> b) & 1) << (bits - 1 - b);
        }
        m_bitReverse[i] = r;
    }
    for (int i = 0; i < size / 2; ++i) {
        const double angle = -2.0 * std::numbers::pi * i / size;
        m_twiddles[i] = { static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)) };
    }
}

void Fft::transform(std::span<std::complex<float>> data) const
{
    assert(static_cast<int>(data.size()) == m_size);
    for (int i = 0; i < m_size; ++i) {
        if (i < m_bitReverse[i]) {
            std::swap(data[i], data[m_bitReverse[i]]);
        }
    }
    for (int half = 1, stride = m_size / 2; half < m_size; half *= 2, stride /= 2) {
        for (int start = 0; start < m_size; start += 2 * half) {
            for (int k = 0; k < half; ++k) {
                const std::complex<float> w = m_twiddles[static_cast<std::size_t>(k) * stride];
                std::complex<float>& a = data[start + k];
                std::complex<float>& b = data[start + k + half];
                // Written out: std::complex multiplication checks for NaN and is slow.
                const float re = b.real() * w.real() - b.imag() * w.imag();
                const float im = b.real() * w.imag() + b.imag() * w.real();
                b = { a.real() - re, a.imag() - im };
                a = { a.real() + re, a.imag() + im };
            }
        }
    }
}

void Fft::power(std::span<const float> input, std::span<float> power)
{
    for (int i = 0; i < m_size; ++i) {
        m_buffer[i] = { input[i], 0.0f };
    }
    transform(m_buffer);
    for (int k = 0; k < m_size / 2; ++k) {
        power[k] = std::norm(m_buffer[k]);
    }
}

} // namespace cwaudio
