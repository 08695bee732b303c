// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace cwaudio {

// Input samples from `start` on, held in a ring buffer from index `oldest` on.
struct SampleRing
{
    std::span<const float> ring;
    std::size_t oldest = 0;
    std::int64_t start = 0;
    float at(std::int64_t s) const
    {
        const std::size_t k = oldest + static_cast<std::size_t>(s - start);
        return ring[k < ring.size() ? k : k - ring.size()];
    }
};

// The signal around a jump from one tone to another, as the spectrum saw it.
struct JumpAround
{
    SampleRing samples; // holds [first, last)
    std::int64_t first = 0; // a filter block starts here
    std::int64_t last = 0;
    int block = 1; // samples in a filter block
    double sampleRate = 8000.0;
    std::int64_t dated = 0; // where the spectrum put the jump
    std::function<double(std::int64_t)> oldHz; // the tone before the jump, at a sample
    std::function<double(std::int64_t)> newHz; // ...and after it
    double noiseVariance = 0.0; // per sample, near the tones
    bool sharp = true; // the tone stands well over the noise in a filter block
};

struct DatedJump
{
    std::int64_t at = 0; // the new tone holds from here
    bool moved = false; // the samples put it elsewhere than the spectrum did
    // A retuning the samples dated to a block: the old tone keyed before, the new after, neither
    // left on the wrong side.
    bool sure = false;
    // Turns what is mixed down from the new tone after `at` to go on in the phase of the old
    // before it, where the tone is keyed either side.
    std::optional<std::complex<double>> turn;
};

// Dates a jump to a filter block (on the grid from `first`) from the samples around it: where the
// old tone's keying gives way to the new one's. Left where the spectrum put it unless both show.
DatedJump dateJump(const JumpAround& around);

// `count` samples from `from` mixed down from `hz`, the oscillator at phase 0 at sample `zero`.
std::complex<double> mixedDown(const SampleRing& samples, std::int64_t from, std::int64_t count, double hz,
    double sampleRate, std::int64_t zero);

} // namespace cwaudio
