// SPDX-License-Identifier: GPL-3.0-or-later
#include "cw_synth.h"

#include "beacon_frame.h"
#include "level_code.h"
#include "morse_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cwsynth {

std::string randomBeacon(std::mt19937_64& random)
{
    const QByteArray levels = beacon::levelAlphabet.toLatin1();
    const std::string_view any = cwaudio::morseCodes().substr(0, 36); // letters and digits
    std::string text = beacon::framePrefix.toLatin1().toStdString();
    while (text.size() < static_cast<std::size_t>(beacon::frameLength)) {
        if (static_cast<int>(text.size()) + 1 == beacon::skippedPosition) {
            text += any[random() % any.size()];
        } else {
            text += levels[static_cast<qsizetype>(random() % static_cast<std::uint64_t>(levels.size()))];
        }
    }
    return text;
}

Signal::Signal(const SignalParams& params, const std::vector<std::string>& texts)
    : m_p(params)
    , m_random(params.seed)
{
    const HandKeying hand { m_p.wpm, m_p.jitter, m_p.leadSeconds, m_p.minPauseSeconds, m_p.maxPauseSeconds };
    KeyedTexts keyed = keyByHand(hand, texts, m_random);
    m_keys = std::move(keyed.keys);
    m_sent = std::move(keyed.sent);
    const double seconds = m_keys.empty() ? m_p.leadSeconds : m_keys.back().off + m_p.tailSeconds;
    m_total = static_cast<std::int64_t>(seconds * m_p.sampleRate);
    const double tonePower = m_p.amplitude * m_p.amplitude / 2;
    m_noiseSigma = std::sqrt(tonePower / std::pow(10.0, m_p.snrDb / 10) * (m_p.sampleRate / 2) / 2500.0);
    m_fadePhase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(m_random);
}

Signal::Signal(const SignalParams& params, double seconds)
    : Signal(params, std::vector<std::string> {})
{
    m_total = static_cast<std::int64_t>(seconds * m_p.sampleRate);
}

std::size_t Signal::render(std::span<float> out)
{
    const double fs = m_p.sampleRate;
    const double seconds = static_cast<double>(m_total) / fs;
    const double edge = m_p.edgeSeconds;
    std::size_t written = 0;
    for (; written < out.size() && m_pos < m_total; ++written, ++m_pos) {
        const double t = static_cast<double>(m_pos) / fs;
        while (m_key < m_keys.size() && m_keys[m_key].off <= t) {
            ++m_key;
        }
        double envelope = 0.0;
        if (m_key < m_keys.size() && t >= m_keys[m_key].on) {
            const Key& k = m_keys[m_key];
            const double in = std::min(t - k.on, k.off - t);
            envelope = in >= edge ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * in / edge);
        }
        const double frequency = m_p.startHz + m_p.driftHz * t / seconds;
        m_phase += 2 * std::numbers::pi * frequency / fs;
        if (m_phase > 2 * std::numbers::pi) {
            m_phase -= 2 * std::numbers::pi;
        }
        double gain = m_p.amplitude;
        if (m_p.fadeDb > 0) {
            const double db =
                0.5 * m_p.fadeDb * std::sin(2 * std::numbers::pi * t / m_p.fadePeriodSeconds + m_fadePhase);
            gain *= std::pow(10.0, db / 20);
        }
        double sample = envelope * gain * std::sin(m_phase);
        if (m_p.noise) {
            sample += m_noiseSigma * m_gauss(m_random);
        }
        out[written] = static_cast<float>(sample);
    }
    return written;
}

std::vector<float> Signal::renderAll()
{
    std::vector<float> all(static_cast<std::size_t>(m_total - m_pos));
    render(all);
    return all;
}

} // namespace cwsynth
