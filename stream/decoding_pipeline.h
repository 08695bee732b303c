// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cw_audio.h"
#include "waterfall_rows.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace audiostream {

// What a decoding thread hands out, called in that thread.
struct PipelineOutput
{
    std::function<void(const cwaudio::AudioBeacon&)> beacon;
    std::function<void(const QString& text, const QList<float>& confidence)> text;
    std::function<void(const cwaudio::DecoderStatus&)> status;
    WaterfallRows::RowSink spectrum;
};

// The decoder and the waterfall fed from the same samples. Text and status are held back until
// flush(), so a caller running faster than real time can decide how often the display hears of
// them; beacons and waterfall rows go out at once.
class DecodingPipeline
{
public:
    DecodingPipeline(double sampleRate, double rowSeconds, PipelineOutput output);
    ~DecodingPipeline();

    void feed(std::span<const float> samples);
    // End of the input: the decoder decides what it still holds; then a flush.
    void finish();
    void flush();

    void setToneHint(double hz);
    void clearToneHint();
    // Live sources: beacons reported as soon as what came in shows them complete.
    void setEarlyReports(bool on);

    double secondsFed() const { return double(m_fed) / m_rate; }

private:
    PipelineOutput m_output;
    double m_rate;
    qint64 m_fed = 0;
    WaterfallRows m_spectrum;
    QString m_text;
    QList<float> m_confidence;
    cwaudio::DecoderStatus m_status;
    bool m_statusPending = false;
    std::unique_ptr<cwaudio::CwDecoder> m_decoder;
};

} // namespace audiostream
