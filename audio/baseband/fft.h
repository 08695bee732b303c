// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

namespace cwaudio {

// Power spectrum of a real frame of a fixed power-of-two size, through a complex radix-2 FFT of
// half that size; the plan is built once.
class Fft
{
public:
    explicit Fft(int size);

    int size() const { return m_size; }

    // |X[k]|^2 of the real `input` (size() values) for k < size()/2, X unscaled (e^-j).
    void power(std::span<const float> input, std::span<float> power);

private:
    // The complex transform of the bit-reversed frame placed as m_inputAt says, into (m_re, m_im).
    void transformHalf();

    int m_size;
    int m_half;
    // Where input pair i goes: its bit-reversed place p, or (at least four values) in the columns
    // at (p % 4) * (half / 4) + p / 4, so that the first two stages run along them.
    std::vector<int> m_inputAt;
    std::vector<float> m_columnRe;
    std::vector<float> m_columnIm;
    std::vector<float> m_twiddleRe; // per stage, its twiddles one after another
    std::vector<float> m_twiddleIm;
    std::vector<float> m_unpackRe; // e^-j2pi k/size, to split the half-size transform
    std::vector<float> m_unpackIm;
    std::vector<float> m_re;
    std::vector<float> m_im;
};

} // namespace cwaudio
