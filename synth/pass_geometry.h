// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cwsynth {

// A satellite in a circular orbit passing over a ground station, Earth taken as a sphere that does
// not turn under the pass: range, elevation and Doppler shift over time.
class PassGeometry
{
public:
    PassGeometry(double altitudeKm, double maxElevationDeg);

    // Horizon to horizon, closest approach halfway.
    double durationSeconds() const { return 2 * m_halfPass; }
    // `t` from the start of the pass.
    double rangeKm(double t) const;
    double rangeRateKmPerS(double t) const;
    double elevationDeg(double t) const;
    // Shift of a downlink at `downlinkHz` heard on the ground.
    double dopplerHz(double t, double downlinkHz) const;
    double minRangeKm() const { return rangeKm(m_halfPass); }

private:
    double m_radius; // orbit, km
    double m_rate; // orbital angular rate, rad/s
    double m_cosOffset; // cosine of the central angle from the station to the orbit plane
    double m_halfPass;
};

} // namespace cwsynth
