// SPDX-License-Identifier: GPL-3.0-or-later
#include "waterfall_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace audiostream {

namespace {
constexpr double analysisSeconds = 0.1;
constexpr double workingRate = 8000.0; // covers 3000 Hz with room
// Columns filtered side by side: each Goertzel filter waits on its own last step, so one at a time
// leaves the processor idle; several independent ones fill its vector lanes.
constexpr int lanes = 8;
} // namespace

WaterfallRows::WaterfallRows(double sampleRate, double rowSeconds)
    : m_decimation(std::max(1, int(sampleRate / workingRate)))
    , m_rowSamples(std::max(1.0, rowSeconds * sampleRate))
    , m_untilRow(m_rowSamples)
{
    const double rate = sampleRate / m_decimation;
    m_window = std::max(16, int(rate * analysisSeconds));
    m_ring.assign(std::size_t(m_window), 0.0F);
    m_block.resize(std::size_t(m_window));
    m_taper.resize(std::size_t(m_window));
    for (int i = 0; i < m_window; ++i) {
        m_taper[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / m_window));
    }
    m_coefficients.resize(std::size_t((columns + lanes - 1) / lanes) * lanes, 0.0F);
    for (int c = 0; c < columns; ++c) {
        m_coefficients[std::size_t(c)] =
            float(2.0 * std::cos(2.0 * std::numbers::pi * columnFrequency(c) / rate));
    }
    m_row.resize(columns);
}

void WaterfallRows::feed(std::span<const float> samples, const RowSink& row)
{
    for (const float s : samples) {
        // A box average is a poor anti-alias filter but plenty for a picture.
        m_boxSum += s;
        if (++m_boxCount == m_decimation) {
            m_ring[m_ringPos] = m_boxSum / float(m_decimation);
            m_ringPos = (m_ringPos + 1) % m_ring.size();
            m_boxSum = 0.0F;
            m_boxCount = 0;
        }
        m_untilRow -= 1.0;
        if (m_untilRow <= 0.0) {
            m_untilRow += m_rowSamples;
            emitRow(row);
        }
    }
}

void WaterfallRows::emitRow(const RowSink& row)
{
    for (std::size_t i = 0; i < m_ring.size(); ++i) {
        m_block[i] = m_ring[(m_ringPos + i) % m_ring.size()] * m_taper[i];
    }
    // Power of a full-scale sine's column comes out near 0 dB.
    const float norm = 4.0F / (float(m_window) * float(m_window) * 0.25F);
    for (int first = 0; first < columns; first += lanes) {
        std::array<float, lanes> k {};
        std::array<float, lanes> s1 {};
        std::array<float, lanes> s2 {};
        std::copy_n(m_coefficients.begin() + first, lanes, k.begin());
        for (const float x : m_block) {
            for (int l = 0; l < lanes; ++l) {
                const float s0 = x + k[l] * s1[l] - s2[l];
                s2[l] = s1[l];
                s1[l] = s0;
            }
        }
        for (int l = 0; l < lanes && first + l < columns; ++l) {
            const float power = (s1[l] * s1[l] + s2[l] * s2[l] - k[l] * s1[l] * s2[l]) * norm;
            m_row[first + l] = 10.0F * std::log10(power + 1e-12F);
        }
    }
    if (row) {
        row(m_row);
    }
}

} // namespace audiostream
