// SPDX-License-Identifier: GPL-3.0-or-later
#include "pass_geometry.h"

#include <cmath>
#include <numbers>

namespace cwsynth {

namespace {

constexpr double earthRadiusKm = 6371.0;
constexpr double earthMuKm3PerS2 = 398600.4418;
constexpr double lightKmPerS = 299792.458;

double radians(double deg)
{
    return deg * std::numbers::pi / 180.0;
}

} // namespace

PassGeometry::PassGeometry(double altitudeKm, double maxElevationDeg)
    : m_radius(earthRadiusKm + altitudeKm)
    , m_rate(std::sqrt(earthMuKm3PerS2 / (m_radius * m_radius * m_radius)))
{
    const double el = radians(maxElevationDeg);
    // Central angle between the station and the sub-satellite point at closest approach.
    const double offset = std::acos(earthRadiusKm * std::cos(el) / m_radius) - el;
    m_cosOffset = std::cos(offset);
    // The satellite rises where its central angle from the station reaches acos(R / r).
    m_halfPass = std::acos(earthRadiusKm / (m_radius * m_cosOffset)) / m_rate;
}

double PassGeometry::rangeKm(double t) const
{
    const double cosAngle = m_cosOffset * std::cos(m_rate * (t - m_halfPass));
    return std::sqrt(
        earthRadiusKm * earthRadiusKm + m_radius * m_radius - 2 * earthRadiusKm * m_radius * cosAngle);
}

double PassGeometry::rangeRateKmPerS(double t) const
{
    return earthRadiusKm * m_radius * m_rate * m_cosOffset * std::sin(m_rate * (t - m_halfPass)) / rangeKm(t);
}

double PassGeometry::elevationDeg(double t) const
{
    const double cosAngle = m_cosOffset * std::cos(m_rate * (t - m_halfPass));
    return std::asin((m_radius * cosAngle - earthRadiusKm) / rangeKm(t)) * 180.0 / std::numbers::pi;
}

double PassGeometry::dopplerHz(double t, double downlinkHz) const
{
    return -downlinkHz * rangeRateKmPerS(t) / lightKmPerS;
}

} // namespace cwsynth
