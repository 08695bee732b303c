// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

namespace cwaudio {

// Brings any input rate down to a working rate of 8 to 16 kHz by an integer factor,
// low-pass filtered so nothing above the CW band folds into it.
class Decimator
{
public:
    explicit Decimator(double inputRate);

    double outputRate() const { return m_outputRate; }

    // Appends the output samples for `input` to `output`.
    void process(std::span<const float> input, std::vector<float>& output);

private:
    int m_factor;
    double m_outputRate;
    std::vector<float> m_taps;
    std::vector<float> m_history; // the last taps-1 input samples, then the new block
    int m_phase = 0; // input samples to skip before the next output
    std::vector<float> m_phaseSamples; // the block split into its phases, one after another
    std::vector<float> m_phaseTaps; // the taps in the order they are summed
    std::vector<std::size_t> m_tapOffsets; // where each meets its phase's samples
};

} // namespace cwaudio
