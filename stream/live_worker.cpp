// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_worker.h"
#include "live_decoder.h"

namespace audiostream {

LiveWorker::LiveWorker(std::function<std::unique_ptr<AudioSource>()> factory, Post post)
    : m_factory(std::move(factory))
    , m_post(std::move(post))
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
        const QDateTime utc = QDateTime::currentDateTimeUtc().addMSecs(-qint64(ago * 1000.0));
        m_post([beacon, utc](LiveDecoder& out) { emit out.beaconHeard(beacon, utc); });
    };
    output.text = [this](const QString& text, const QList<float>& confidence) {
        m_post([text, confidence](LiveDecoder& out) { emit out.textDecoded(text, confidence); });
    };
    output.status = [this](const cwaudio::DecoderStatus& status) {
        m_post([status](LiveDecoder& out) { emit out.statusChanged(status); });
    };
    // Text and status go out with each row, ten times a second, so one repaint shows them all
    // (beacons go out at once).
    output.spectrum = [this](const QList<float>& row) {
        m_pipeline->flush();
        m_post([row](LiveDecoder& out) { emit out.spectrumRow(row); });
    };
    m_pipeline = std::make_unique<DecodingPipeline>(m_source->sampleRate(), liveRowSeconds, output);
    m_pipeline->setEarlyReports(true);
    m_source->setSink([this](std::span<const float> samples) { m_pipeline->feed(samples); });
    connect(m_source.get(), &AudioSource::failed, this, &LiveWorker::end);
    connect(m_source.get(), &AudioSource::notice, this, [this](const QString& message) {
        m_post([message](LiveDecoder& out) { emit out.notice(message); });
    });
    m_post([name = m_source->name(), rate = m_source->sampleRate()](
               LiveDecoder& out) { emit out.started(name, rate); });
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
