// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include <functional>
#include <span>
#include <vector>

namespace audiostream {

// Rows of a waterfall display: the level in dB of each 10 Hz column from 100 to 3000 Hz, one row
// every `rowSeconds` of audio, each from the last 0.1 s. A display needs no FFT's resolution or
// speed: a few hundred Goertzel filters on a decimated signal cost well under 1 % of a core.
class WaterfallRows
{
public:
    static constexpr double lowHz = 100.0;
    static constexpr double highHz = 3000.0;
    static constexpr double columnHz = 10.0;
    static constexpr int columns = int((highHz - lowHz) / columnHz);

    using RowSink = std::function<void(const QList<float>& levelsDb)>;

    WaterfallRows(double sampleRate, double rowSeconds);

    void feed(std::span<const float> samples, const RowSink& row);

    // Centre frequency of column `c`.
    static double columnFrequency(int c) { return lowHz + (c + 0.5) * columnHz; }

private:
    void emitRow(const RowSink& row);

    int m_decimation;
    int m_window; // decimated samples analysed per row
    double m_rowSamples; // input samples between rows
    double m_untilRow;
    int m_boxCount = 0;
    float m_boxSum = 0.0F;
    std::vector<float> m_ring; // the last m_window decimated samples
    std::size_t m_ringPos = 0;
    std::vector<float> m_taper;
    std::vector<float> m_coefficients; // 2 cos(w) per column
    std::vector<float> m_block;
    QList<float> m_row;
};

} // namespace audiostream
