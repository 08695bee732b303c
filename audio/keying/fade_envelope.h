// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace cwaudio {

// The level the keying reaches around each tick, so a threshold can follow a fade: the strongest
// amplitude within `reach` ticks either side, or a stronger one farther off, discounted by how far
// it is (`decayPerTick`, a factor under 1). Marks far stronger a fraction of a second away then set
// no level for a faded one, while the spaces between marks keep the level of the marks around them.
class FadeEnvelope
{
public:
    // `horizon`: how many ticks past `reach` a stronger amplitude is still looked for.
    FadeEnvelope(double decayPerTick, int horizon);

    void setReach(int ticks);
    // Ticks from the newest amplitude pushed to the newest envelope value out.
    int delay() const { return m_reach + m_horizon; }

    // Adds the next amplitude; returns the envelope at tick `tick() - delay()`, once there is one.
    bool push(float amplitude, float& envelope);
    // Ticks pushed so far.
    std::int64_t tick() const { return m_tick; }

private:
    double m_logDecay;
    double m_decay;
    int m_horizon;
    int m_reach = 1;
    std::int64_t m_tick = 0;
    // Trailing maximum of the last 2 * reach + 1 amplitudes: (tick, amplitude), decreasing.
    std::deque<std::pair<std::int64_t, float>> m_widest;
    // The reach maxima of the last horizon + 1 ticks, oldest first.
    std::vector<float> m_peaks;
    // Ahead of the output tick: (tick, log peak + tick * log decay), decreasing.
    std::deque<std::pair<std::int64_t, double>> m_ahead;
    double m_behind = 0.0; // the decayed peak of everything up to the output tick
};

} // namespace cwaudio
