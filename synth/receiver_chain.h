// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace cwsynth {

// What an SSB receiver does to the audio: a 300-2700 Hz band-pass (fourth-order Butterworth each
// side) and an AGC with a fast attack and a slow release, acting on everything in the passband, so
// the noise swells in every gap after a strong mark or a crash.
class ReceiverChain
{
public:
    explicit ReceiverChain(double sampleRate);
    float process(float x);

private:
    struct Biquad
    {
        double b0, b1, b2, a1, a2;
        double z1 = 0.0, z2 = 0.0;
        double run(double x);
    };
    std::array<Biquad, 4> m_sections;
    double m_attack;
    double m_release;
    double m_level = 0.0;
};

} // namespace cwsynth
