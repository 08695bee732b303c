// SPDX-License-Identifier: GPL-3.0-or-later
#include "channel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwsynth {

namespace {

constexpr double controlSeconds = 0.001;
constexpr double noiseSigma = 0.05;
constexpr double loudestAmplitude = 0.2;
constexpr double slowFadeSeconds = 10.0;
// Obstacles and ground reflections near the horizon, fading out by 10 degrees.
constexpr double horizonLossDb = 10.0;
constexpr double clearElevationDeg = 10.0;

double tau()
{
    return 2 * std::numbers::pi;
}

} // namespace

Channel::Channel(const ChannelParams& params, const Envelope& beacon, const Envelope* other)
    : m_p(params)
    , m_beacon(beacon)
    , m_other(other)
    , m_geometry(params.altitudeKm, params.maxElevationDeg)
    , m_random(params.seed * 0x9e3779b97f4a7c15ULL + 17)
    , m_receiver(params.sampleRate)
{
    double seconds = beacon.seconds();
    if (m_p.passLevel) {
        seconds = std::min(seconds, m_geometry.durationSeconds() - m_p.passOffsetSeconds);
    }
    m_total = static_cast<std::int64_t>(std::max(0.0, seconds) * m_p.sampleRate);
    const double snr = std::pow(10.0, m_p.snrDb / 10);
    m_amplitude = std::sqrt(2 * noiseSigma * noiseSigma * snr * 2500.0 / (m_p.sampleRate / 2));
    m_noiseSigma = noiseSigma;
    if (m_amplitude > loudestAmplitude) {
        m_noiseSigma *= loudestAmplitude / m_amplitude;
        m_amplitude = loudestAmplitude;
    }
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    m_spinRate = 1.0 / (1.5 + 2.5 * unit(m_random));
    m_spinPhase = unit(m_random);
    m_phase = tau() * unit(m_random);
    m_otherPhase = tau() * unit(m_random);
    if (m_p.retuneSeconds > 0) {
        m_nextRetune = m_p.retuneSeconds * (0.5 + unit(m_random));
    }
    if (m_p.impulsesPerSecond > 0) {
        m_nextImpulse = std::exponential_distribution<double>(m_p.impulsesPerSecond)(m_random);
    }
    control(0.0);
}

double Channel::doppler(double t) const
{
    if (m_p.downlinkHz <= 0) {
        return 0.0;
    }
    const double at = m_p.passOffsetSeconds + t;
    const double heard = m_geometry.dopplerHz(at, m_p.downlinkHz);
    if (!m_p.correctionErrorSeconds) {
        return heard;
    }
    return heard - m_geometry.dopplerHz(at - *m_p.correctionErrorSeconds, m_p.downlinkHz);
}

void Channel::control(double t)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double received = m_p.toneHz + m_p.driftHzPerSecond * t + doppler(t);
    if (m_p.retuneSeconds > 0 && t >= m_nextRetune) {
        double step = (100.0 + 200.0 * unit(m_random)) * (unit(m_random) < 0.5 ? -1 : 1);
        // A listener turns the tone towards the middle of the passband, not out of it, also when
        // the Doppler has already carried it out.
        const double tone = received - m_dial;
        if (tone + step < 500.0 || tone + step > 2500.0) {
            step = tone < 1500.0 ? std::abs(step) : -std::abs(step);
        }
        m_dial -= step;
        m_nextRetune = t + m_p.retuneSeconds * (0.5 + unit(m_random));
    }
    if (m_p.keepHighHz > m_p.keepLowHz) {
        const double tone = received - m_dial;
        const double width = m_p.keepHighHz - m_p.keepLowHz;
        if (tone < m_p.keepLowHz) {
            m_dial = received - (m_p.keepHighHz - (0.1 + 0.3 * unit(m_random)) * width);
        } else if (tone > m_p.keepHighHz) {
            m_dial = received - (m_p.keepLowHz + (0.1 + 0.3 * unit(m_random)) * width);
        }
    }
    m_tone = std::clamp(received - m_dial, 50.0, 0.49 * m_p.sampleRate);

    double gain = 1.0;
    if (m_p.spinNullDb > 0) {
        // A tumbling wobble: the spin rate wanders a little around its own.
        m_spinPhase += controlSeconds * m_spinRate * (1.0 + 0.1 * std::sin(tau() * t / 17.0));
        const double floor = std::pow(10.0, -m_p.spinNullDb / 10);
        const double c = std::cos(std::numbers::pi * m_spinPhase);
        gain *= std::sqrt(((1 - floor) * c * c + floor) / ((1 - floor) / 2 + floor));
    }
    if (m_p.slowFadeDb > 0) {
        const double k = controlSeconds / slowFadeSeconds;
        m_slowFade += -k * m_slowFade + std::sqrt(2 * k) * m_gauss(m_random);
        const double sigma = m_p.slowFadeDb * std::log(10.0) / 10;
        gain *= std::pow(10.0, m_p.slowFadeDb * m_slowFade / 20) / std::exp(sigma * sigma / 4);
    }
    gain *= std::pow(10.0, passLevelDb(t) / 20);
    m_gain = gain;
}

double Channel::passLevelDb(double t) const
{
    if (!m_p.passLevel) {
        return 0.0;
    }
    const double at = m_p.passOffsetSeconds + t;
    const double el = m_geometry.elevationDeg(at);
    const double db = -20 * std::log10(m_geometry.rangeKm(at) / m_geometry.minRangeKm());
    return db - horizonLossDb * std::clamp(1.0 - el / clearElevationDeg, 0.0, 1.0);
}

std::size_t Channel::render(std::span<float> out)
{
    const double fs = m_p.sampleRate;
    const auto channels = static_cast<std::size_t>(m_p.channels);
    const auto controlEvery = static_cast<std::int64_t>(std::max(1.0, controlSeconds * fs));
    const double otherAmplitude = m_amplitude * std::pow(10.0, m_p.otherDb / 20);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::size_t frames = 0;
    for (; (frames + 1) * channels <= out.size() && m_pos < m_total; ++frames, ++m_pos) {
        const double t = static_cast<double>(m_pos) / fs;
        if (m_pos % controlEvery == 0) {
            control(t);
        }
        m_phase = std::fmod(m_phase + tau() * m_tone / fs, tau());
        double x = m_amplitude * m_gain * m_beacon.at(t) * std::sin(m_phase);
        if (m_p.other && m_other != nullptr) {
            // A station on the ground: only the listener's retuning moves it.
            const double tone = std::clamp(m_p.toneHz + m_p.otherOffsetHz - m_dial, 50.0, 0.49 * fs);
            m_otherPhase = std::fmod(m_otherPhase + tau() * tone / fs, tau());
            x += otherAmplitude * m_other->at(t) * std::sin(m_otherPhase);
        }
        x += m_noiseSigma * m_gauss(m_random);
        if (m_p.impulsesPerSecond > 0) {
            if (t >= m_nextImpulse) {
                // A crash: a burst 15-35 dB over the noise dying away in 0.2-3 ms.
                m_impulse = m_noiseSigma * std::pow(10.0, (15.0 + 20.0 * unit(m_random)) / 20);
                m_impulseDecay = std::exp(-1.0 / ((0.0002 + 0.0028 * unit(m_random)) * fs));
                m_nextImpulse = t + std::exponential_distribution<double>(m_p.impulsesPerSecond)(m_random);
            }
            if (m_impulse > 1e-6) {
                x += m_impulse * m_gauss(m_random);
                m_impulse *= m_impulseDecay;
            }
        }
        if (m_p.receiver) {
            x = m_receiver.process(static_cast<float>(x));
        }
        const auto sample = static_cast<float>(std::clamp(x, -1.0, 1.0));
        for (std::size_t c = 0; c < channels; ++c) {
            out[frames * channels + c] = sample;
        }
    }
    return frames;
}

} // namespace cwsynth
