// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace cwaudio {

// The tone a tracker has held, brief excursions aside. In a pause noise may draw the tracker off
// for a moment, and the keying coming back draws it back: a jump that lands where the tone was
// held is no change of tone.
class HeldTone
{
public:
    // A tone within `sameHz` of the one held is the same (the tone held drifts with it while it
    // is heard); one the tracker holds for more than `excursion` samples is another.
    HeldTone(double sameHz, std::int64_t excursion);

    // The tracker's tone `hz` at sample `at`; `heard`: whether it is keyed there now; `keyed`:
    // whether it is keyed as a station's is.
    void update(double hz, std::int64_t at, bool heard, bool keyed);
    // The sample since which `hz` has been held; -1 where it is not the tone held.
    std::int64_t heldSince(double hz) const;
    // Whether the tone held was keyed as a station's at some time since.
    bool keyed() const { return m_keyed; }

private:
    double m_sameHz;
    std::int64_t m_excursion;
    double m_hz = -1.0;
    std::int64_t m_since = 0;
    std::int64_t m_awaySince = -1; // since when the tracker has been off that tone; -1: on it
    bool m_keyed = false;
};

} // namespace cwaudio
