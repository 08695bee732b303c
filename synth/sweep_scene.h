// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cwsynth {

// The short recordings bench/beacon_sweep renders by the thousand to count wrong beacons, and the
// tests take single seeds of: 8 kHz mono, hand-keyed at `wpm`. By default three beacons 10-15 s
// apart near closest approach of a 145.8 MHz pass at 30 degrees, heard without Doppler correction
// by a listener who keeps the tone within 400-2600 Hz by retuning (`doppler` off: a steady tone);
// with `spin`, two beacons 1.5-3 s apart at 1100 Hz in nulls 20 dB deep every 1.5-4 s.
struct SweepScene
{
    double snrDb = 0.0;
    double wpm = 18.0;
    bool spin = false;
    bool doppler = true;
};

struct SweepRecording
{
    double sampleRate = 8000.0;
    std::vector<float> samples;
    std::vector<std::string> sent; // the beacons, in order
};

SweepRecording renderSweep(const SweepScene& scene, std::uint64_t seed);

} // namespace cwsynth
