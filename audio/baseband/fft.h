// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <span>
#include <vector>

namespace cwaudio {

// In-place radix-2 FFT of a fixed power-of-two size; the plan is built once.
class Fft
{
public:
    explicit Fft(int size);

    int size() const { return m_size; }

    // Forward transform (e^-j), unscaled; `data` holds size() values.
    void transform(std::span<std::complex<float>> data) const;
    // |X[k]|^2 of the real `input` (size() values) for k < size()/2.
    void power(std::span<const float> input, std::span<float> power);

private:
    int m_size;
    std::vector<int> m_bitReverse;
    std::vector<std::complex<float>> m_twiddles;
    std::vector<std::complex<float>> m_buffer;
};

} // namespace cwaudio
