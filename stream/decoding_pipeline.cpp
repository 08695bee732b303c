// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoding_pipeline.h"

namespace audiostream {

DecodingPipeline::DecodingPipeline(double sampleRate, double rowSeconds, PipelineOutput output)
    : m_output(std::move(output))
    , m_rate(sampleRate)
    , m_spectrum(sampleRate, rowSeconds)
{
    cwaudio::DecodeHandlers handlers;
    handlers.beacon = [this](const cwaudio::AudioBeacon& beacon) {
        // The text that led to the beacon shows before it.
        flush();
        if (m_output.beacon) {
            m_output.beacon(beacon);
        }
    };
    handlers.text = [this](std::string_view text, std::span<const float> confidence) {
        m_text += QString::fromLatin1(text.data(), qsizetype(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i) {
            m_confidence.append(i < confidence.size() ? confidence[i] : 1.0F);
        }
    };
    handlers.status = [this](const cwaudio::DecoderStatus& status) {
        m_status = status;
        m_statusPending = true;
    };
    m_decoder = std::make_unique<cwaudio::CwDecoder>(sampleRate, std::move(handlers));
}

DecodingPipeline::~DecodingPipeline() = default;

void DecodingPipeline::feed(std::span<const float> samples)
{
    m_fed += qint64(samples.size());
    m_decoder->feed(samples);
    m_spectrum.feed(samples, m_output.spectrum);
}

void DecodingPipeline::finish()
{
    m_decoder->finish();
    flush();
}

void DecodingPipeline::flush()
{
    if (!m_text.isEmpty()) {
        if (m_output.text) {
            m_output.text(m_text, m_confidence);
        }
        m_text.clear();
        m_confidence.clear();
    }
    if (m_statusPending) {
        m_statusPending = false;
        if (m_output.status) {
            m_output.status(m_status);
        }
    }
}

void DecodingPipeline::setToneHint(double hz)
{
    m_decoder->setToneHint(hz);
}

void DecodingPipeline::clearToneHint()
{
    m_decoder->clearToneHint();
}

void DecodingPipeline::setEarlyReports(bool on)
{
    m_decoder->setEarlyReports(on);
}

} // namespace audiostream
