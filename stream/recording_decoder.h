// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cw_audio.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>

class QThread;

namespace audiostream {

// Decodes a recording in a thread of its own, as fast as the CPU allows, with progress and
// cancel; everything it finds arrives through signals in the thread that owns this object.
class RecordingDecoder : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { done, cancelled, failed };
    Q_ENUM(Outcome)

    // Waterfall rows per recording, however long it is.
    static constexpr int rowsPerRecording = 400;

    explicit RecordingDecoder(QObject* parent = nullptr);
    ~RecordingDecoder() override;

    // Stops what ran before (without a signal) and starts on `path`; `toneHintHz` > 0: follow
    // the tone near it (see CwDecoder::setToneHint).
    void start(const QString& path, double toneHintHz = 0.0);
    // Asks the worker to stop; finished(cancelled) follows.
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

signals:
    void opened(const QString& path, double durationSeconds, double sampleRate);
    void progress(double seconds, double durationSeconds);
    void beaconHeard(const cwaudio::AudioBeacon& beacon);
    void textDecoded(const QString& text, const QList<float>& confidence);
    void statusChanged(const cwaudio::DecoderStatus& status);
    void spectrumRow(const QList<float>& levelsDb);
    // `message`: why it failed (naming the file), or a problem noticed on the way (e.g. truncated
    // data) when it is done anyway; empty otherwise.
    void finished(audiostream::RecordingDecoder::Outcome outcome, const QString& message);

private:
    void decode(const QString& path, int generation, double toneHintHz);
    void shutDown();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel { false };
    int m_generation = 0; // owner's thread only
};

} // namespace audiostream
