// SPDX-License-Identifier: GPL-3.0-or-later
#include "drift_fit.h"

#include <cmath>

namespace cwaudio {

DriftFit::DriftFit(double memorySeconds)
    : m_memory(memorySeconds)
{
}

void DriftFit::age(double seconds)
{
    // Every estimate's time moves `seconds` further back, then weighs less.
    const double keep = std::exp(-seconds / m_memory);
    m_tt = keep * (m_tt + 2.0 * seconds * m_t + seconds * seconds * m_w);
    m_t = keep * (m_t + seconds * m_w);
    m_ft = keep * (m_ft + seconds * m_f);
    m_count *= keep;
    m_w *= keep;
    m_f *= keep;
}

void DriftFit::add(double hz, double power)
{
    m_count += 1.0;
    m_w += power;
    m_f += power * hz;
}

void DriftFit::clear()
{
    *this = DriftFit(m_memory);
}

std::optional<double> DriftFit::rate(double estimates) const
{
    const double spread = m_w * m_tt - m_t * m_t;
    if (m_count < estimates || spread <= 0.0) {
        return std::nullopt;
    }
    // Times count backwards: the slope on them is the rate with its sign turned.
    return -(m_w * m_ft - m_t * m_f) / spread;
}

} // namespace cwaudio
