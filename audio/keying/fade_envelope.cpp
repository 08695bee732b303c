// SPDX-License-Identifier: GPL-3.0-or-later
#include "fade_envelope.h"

#include <algorithm>
#include <cmath>

namespace cwaudio {

FadeEnvelope::FadeEnvelope(double decayPerTick, int horizon)
    : m_logDecay(std::log(decayPerTick))
    , m_decay(decayPerTick)
    , m_horizon(horizon)
    , m_peaks(static_cast<std::size_t>(horizon) + 1, 0.0f)
{
}

void FadeEnvelope::setReach(int ticks)
{
    m_reach = std::max(ticks, 0);
}

bool FadeEnvelope::push(float amplitude, float& envelope)
{
    const std::int64_t now = m_tick++;
    while (!m_widest.empty() && m_widest.back().second <= amplitude) {
        m_widest.pop_back();
    }
    m_widest.emplace_back(now, amplitude);
    while (m_widest.front().first < now - 2 * static_cast<std::int64_t>(m_reach)) {
        m_widest.pop_front();
    }
    // The peak within reach of tick `centre`, which now has all its neighbours in.
    const std::int64_t centre = now - m_reach;
    const float peak = m_widest.front().second;
    const auto slots = static_cast<std::int64_t>(m_peaks.size());
    m_peaks[static_cast<std::size_t>(((centre % slots) + slots) % slots)] = peak;

    // Discounted by distance, as a running maximum in the log domain: a peak ahead of the output
    // tick loses its distance times the log decay, so ordered by log peak + tick * log decay.
    const double key =
        std::log(std::max(static_cast<double>(peak), 1e-30)) + static_cast<double>(centre) * m_logDecay;
    while (!m_ahead.empty() && m_ahead.back().second <= key) {
        m_ahead.pop_back();
    }
    m_ahead.emplace_back(centre, key);
    const std::int64_t out = centre - m_horizon;
    while (m_ahead.front().first < out) {
        m_ahead.pop_front();
    }
    if (out < 0) {
        return false;
    }
    const float own = m_peaks[static_cast<std::size_t>(out % slots)];
    m_behind = std::max(static_cast<double>(own), m_behind * m_decay);
    const double ahead = std::exp(m_ahead.front().second - static_cast<double>(out) * m_logDecay);
    envelope = static_cast<float>(std::max(m_behind, ahead));
    return true;
}

} // namespace cwaudio
