// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_decoder.h"
#include "current_run.h"
#include "decoding_pipeline.h"

#include <QElapsedTimer>
#include <QThread>

#include <vector>

using namespace Qt::StringLiterals;

namespace audiostream {

namespace {
constexpr std::size_t blockFrames = 16384;
constexpr qint64 displayIntervalMs = 50; // how often progress, text and status go out
constexpr double minRowSeconds = 0.1;
} // namespace

RecordingDecoder::RecordingDecoder(QObject* parent)
    : QObject(parent)
{
}

RecordingDecoder::~RecordingDecoder()
{
    shutDown();
}

void RecordingDecoder::start(const QString& path, double toneHintHz)
{
    shutDown();
    m_cancel = false;
    const int generation = ++m_generation;
    m_thread =
        QThread::create([this, path, generation, toneHintHz] { decode(path, generation, toneHintHz); });
    m_thread->setObjectName(u"recording decoding"_s);
    connect(m_thread, &QThread::finished, this, [this, thread = m_thread] {
        if (thread == m_thread) {
            m_thread = nullptr;
        }
    });
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start();
}

void RecordingDecoder::cancel()
{
    m_cancel = true;
}

void RecordingDecoder::shutDown()
{
    if (!m_thread) {
        return;
    }
    // Anything the old run still has queued is dropped by the generation check.
    ++m_generation;
    m_cancel = true;
    QThread* thread = m_thread;
    m_thread = nullptr;
    thread->wait();
}

void RecordingDecoder::decode(const QString& path, int generation, double toneHintHz)
{
    // Everything goes out from the owner's thread, and only while this run is the current one.
    const auto post = [this, generation](
                          auto emitIt) { postIfCurrent(this, m_generation, generation, std::move(emitIt)); };
    QString error;
    const std::unique_ptr<cwaudio::AudioFile> file = cwaudio::AudioFile::open(path, &error);
    if (!file) {
        post([this, error] { emit finished(Outcome::failed, error); });
        return;
    }
    const double rate = file->sampleRate();
    const double duration = file->seconds();
    post([this, path, duration, rate] { emit opened(path, duration, rate); });

    PipelineOutput output;
    output.beacon = [&](const cwaudio::AudioBeacon& beacon) {
        post([this, beacon] { emit beaconHeard(beacon); });
    };
    output.text = [&](const QString& text, const QList<float>& confidence) {
        post([this, text, confidence] { emit textDecoded(text, confidence); });
    };
    output.status = [&](const cwaudio::DecoderStatus& status) {
        post([this, status] { emit statusChanged(status); });
    };
    output.spectrum = [&](const QList<float>& row) { post([this, row] { emit spectrumRow(row); }); };
    DecodingPipeline pipeline(rate, std::max(minRowSeconds, duration / rowsPerRecording), output);
    if (toneHintHz > 0.0) {
        pipeline.setToneHint(toneHintHz);
    }

    std::vector<float> block(blockFrames);
    QElapsedTimer sinceDisplay;
    sinceDisplay.start();
    while (!m_cancel) {
        const std::size_t got = file->read(block);
        if (got == 0) {
            break;
        }
        pipeline.feed(std::span<const float>(block.data(), got));
        if (sinceDisplay.elapsed() >= displayIntervalMs) {
            sinceDisplay.restart();
            pipeline.flush();
            const double seconds = pipeline.secondsFed();
            post([this, seconds, duration] { emit progress(seconds, duration); });
        }
    }
    if (m_cancel) {
        pipeline.flush();
        post([this] { emit finished(Outcome::cancelled, {}); });
        return;
    }
    pipeline.finish();
    const double seconds = pipeline.secondsFed();
    const QString problem = file->error();
    post([this, seconds, duration, problem] {
        emit progress(seconds, duration);
        emit finished(Outcome::done, problem);
    });
}

} // namespace audiostream
