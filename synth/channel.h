// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keying.h"
#include "pass_geometry.h"
#include "receiver_chain.h"

#include <cstdint>
#include <optional>
#include <random>
#include <span>

namespace cwsynth {

// What happens to a keyed signal between a satellite and a recording. Every effect is off by
// default. SNR is key-down tone power over the noise power in 2500 Hz, averaged over the fading.
struct ChannelParams
{
    double sampleRate = 48000.0;
    int channels = 2;
    double snrDb = 10.0;
    double toneHz = 800.0; // where the listener tuned the tone at the start

    double driftHzPerSecond = 0.0; // a plain linear drift (oscillators warming up)

    // Doppler of a pass (at `downlinkHz`), the recording starting `passOffsetSeconds` after the
    // satellite rose. With `correctionErrorSeconds` the receiver corrects it from a prediction that
    // is that much late, so only the residual is heard; otherwise all of it.
    double downlinkHz = 0.0;
    double altitudeKm = 500.0;
    double maxElevationDeg = 60.0;
    double passOffsetSeconds = 0.0;
    std::optional<double> correctionErrorSeconds;
    // The whole pass: the SNR follows the range and the elevation (snrDb is at closest approach).
    bool passLevel = false;

    // A listener keeping the tone inside this audio band by retuning when it leaves.
    double keepLowHz = 0.0;
    double keepHighHz = 0.0;
    // A listener retuning now and then by 100-300 Hz, every `retuneSeconds` on average.
    double retuneSeconds = 0.0;

    // Spin fading: nulls `spinNullDb` deep, 1.5-4 s apart (a tumbling satellite's antenna pattern).
    double spinNullDb = 0.0;
    // Slow fading: log-normal, `slowFadeDb` standard deviation over about 10 s.
    double slowFadeDb = 0.0;

    // A second station `otherOffsetHz` away, `otherDb` over the beacon's mean level.
    double otherOffsetHz = 0.0;
    double otherDb = 0.0;
    bool other = false;

    double impulsesPerSecond = 0.0; // static crashes

    bool receiver = false; // SSB band-pass and AGC
    std::uint64_t seed = 1;
};

// Renders `beacon` (and `other`, the second station's keying) through the channel block by block.
class Channel
{
public:
    Channel(const ChannelParams& params, const Envelope& beacon, const Envelope* other = nullptr);

    std::int64_t totalFrames() const { return m_total; }
    double durationSeconds() const { return static_cast<double>(m_total) / m_p.sampleRate; }
    // Fills interleaved `out` (channels per frame); returns frames written, 0 at the end.
    std::size_t render(std::span<float> out);
    // Over snrDb at `t`, from the pass's range and elevation (0 without passLevel).
    double passLevelDb(double t) const;
    // The beacon's tone as last rendered, Hz.
    double toneHz() const { return m_tone; }

private:
    void control(double t);
    double doppler(double t) const;

    ChannelParams m_p;
    const Envelope& m_beacon;
    const Envelope* m_other;
    PassGeometry m_geometry;
    std::mt19937_64 m_random;
    std::normal_distribution<double> m_gauss;
    ReceiverChain m_receiver;
    std::int64_t m_total = 0;
    std::int64_t m_pos = 0;
    double m_amplitude = 0.0;
    double m_noiseSigma = 0.0;
    // Updated every millisecond.
    double m_dial = 0.0; // how far the listener moved the receiver, Hz
    double m_nextRetune = 0.0;
    double m_tone = 0.0;
    double m_gain = 1.0;
    double m_spinPhase = 0.0;
    double m_spinRate = 0.0; // nulls per second
    double m_slowFade = 0.0;
    double m_phase = 0.0;
    double m_otherPhase = 0.0;
    double m_impulse = 0.0;
    double m_impulseDecay = 0.0;
    double m_nextImpulse = 0.0;
};

} // namespace cwsynth
