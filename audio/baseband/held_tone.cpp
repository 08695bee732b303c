// SPDX-License-Identifier: GPL-3.0-or-later
#include "held_tone.h"

#include <cmath>

namespace cwaudio {

HeldTone::HeldTone(double sameHz, std::int64_t excursion)
    : m_sameHz(sameHz)
    , m_excursion(excursion)
{
}

void HeldTone::update(double hz, std::int64_t at, bool heard, bool keyed)
{
    if (std::abs(hz - m_hz) < m_sameHz) {
        // Drifting with the tone while it is heard; in a pause the tracker may wander.
        m_hz = heard ? hz : m_hz;
        m_awaySince = -1;
        m_keyed = m_keyed || keyed;
    } else if (m_awaySince < 0) {
        m_awaySince = at;
    } else if (at - m_awaySince > m_excursion) {
        m_hz = hz;
        m_since = at;
        m_awaySince = -1;
        m_keyed = keyed;
    }
}

std::int64_t HeldTone::heldSince(double hz) const
{
    return std::abs(hz - m_hz) < m_sameHz ? m_since : -1;
}

} // namespace cwaudio
