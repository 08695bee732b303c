// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace cwaudio {

// How fast a tone drifts, fitted to the tracker's estimates of the last few seconds: a straight
// line, each estimate weighed by how strongly the tone showed in it, the older ones less. The
// drift bank measures the rate only to its step (20 Hz/s); the fit, from many estimates, to a few
// hertz a second, which is what a tone followed back across a retuning needs: the Doppler goes on
// through it unchanged.
class DriftFit
{
public:
    // Estimates weigh e^(-age / `memorySeconds`).
    explicit DriftFit(double memorySeconds);

    // Moves the fit's present `seconds` on.
    void age(double seconds);
    // An estimate of the tone at the present, from a spectrum where it stood `power` over the
    // noise (the variance of such an estimate goes as the inverse).
    void add(double hz, double power);
    void clear();
    // The rate in Hz/s, once `estimates` or more (counted as they age) have come in.
    std::optional<double> rate(double estimates) const;

private:
    double m_memory;
    double m_count = 0.0;
    // Weighted sums over the estimates, times counted back from the present: of 1, t, t^2, f, f t.
    double m_w = 0.0;
    double m_t = 0.0;
    double m_tt = 0.0;
    double m_f = 0.0;
    double m_ft = 0.0;
};

} // namespace cwaudio
