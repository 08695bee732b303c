// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_worker.h"

namespace audiostream {

LiveWorker::LiveWorker(std::function<std::unique_ptr<AudioSource>()> factory)
    : m_factory(std::move(factory))
{
}

LiveWorker::~LiveWorker() = default;

void LiveWorker::run()
{
    m_source = m_factory();
    QString error;
    if (!m_source->start(&error)) {
        end(error);
        return;
    }
    PipelineOutput output;
    output.beacon = [this](const cwaudio::AudioBeacon& beacon) {
        // Counted back from now, so gaps in the stream do not shift the time.
        const double ago = m_pipeline->secondsFed() - beacon.time;
        emit beaconHeard(beacon, QDateTime::currentDateTimeUtc().addMSecs(-qint64(ago * 1000.0)));
    };
    output.text = [this](const QString& text, const QList<float>& confidence) {
        emit textDecoded(text, confidence);
    };
    output.status = [this](const cwaudio::DecoderStatus& status) { emit statusChanged(status); };
    // Text and status go out with each row, ten times a second, so one repaint shows them all
    // (beacons go out at once).
    output.spectrum = [this](const QList<float>& row) {
        m_pipeline->flush();
        emit spectrumRow(row);
    };
    m_pipeline = std::make_unique<DecodingPipeline>(m_source->sampleRate(), liveRowSeconds, output);
    m_source->setSink([this](std::span<const float> samples) { m_pipeline->feed(samples); });
    connect(m_source.get(), &AudioSource::failed, this, &LiveWorker::end);
    connect(m_source.get(), &AudioSource::notice, this, &LiveWorker::notice);
    emit started(m_source->name(), m_source->sampleRate());
}

void LiveWorker::shutDown()
{
    end({});
}

void LiveWorker::end(const QString& message)
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    if (m_source) {
        m_source->stop();
    }
    if (m_pipeline) {
        m_pipeline->finish();
    }
    // The source's sockets and devices belong to this thread, and it may be the caller: it goes
    // once control is back in the event loop.
    if (m_source) {
        m_source->disconnect(this);
        m_source.release()->deleteLater();
    }
    m_pipeline.reset();
    emit ended(message);
}

void LiveWorker::setToneHint(double hz)
{
    if (m_pipeline) {
        m_pipeline->setToneHint(hz);
    }
}

void LiveWorker::clearToneHint()
{
    if (m_pipeline) {
        m_pipeline->clearToneHint();
    }
}

} // namespace audiostream
