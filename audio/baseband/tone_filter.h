// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <span>

namespace cwaudio {

// Mixes the tone down to 0 Hz and integrates over 5 ms blocks: the first stage of a
// filter matched to the keying, giving complex baseband samples at about 200 Hz.
class ToneFilter
{
public:
    explicit ToneFilter(double sampleRate);

    // The rate of the baseband samples.
    double outputRate() const { return m_rate / m_block; }
    int block() const { return m_block; }

    void setFrequency(double hz);
    // Turns the oscillator by `turn` (unit length): what comes after is that much out of phase.
    void turnPhase(std::complex<double> turn) { m_oscillator *= turn; }
    // The next sample starts a block.
    bool blockStart() const { return m_fill == 0; }

    // Samples still to come in the block under way.
    int remaining() const { return m_block - m_fill; }

    // Feeds one sample; returns true and sets `out` when a block is complete.
    bool push(float sample, std::complex<float>& out);
    // Feeds at most remaining() samples; returns true and sets `out` when they complete the block.
    bool push(std::span<const float> samples, std::complex<float>& out);
    // push() of the same samples to two filters at the same point of their blocks (each may have its
    // own tone), with the same results: their oscillators run side by side rather than one after the
    // other. Returns whether the block is complete; then sets `outA` and `outB`.
    static bool pushPair(ToneFilter& a, ToneFilter& b, std::span<const float> samples,
        std::complex<float>& outA, std::complex<float>& outB);

private:
    // Counts `count` samples mixed in; at the end of a block sets `out` and starts the next.
    bool advance(std::size_t count, std::complex<float>& out);

    double m_rate;
    int m_block;
    int m_fill = 0;
    std::complex<double> m_oscillator { 1.0, 0.0 };
    std::complex<double> m_step { 1.0, 0.0 };
    std::complex<float> m_sum { 0.0f, 0.0f };
};

} // namespace cwaudio
