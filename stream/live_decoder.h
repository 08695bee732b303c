// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"
#include "cw_audio.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QThread;

namespace audiostream {

class LiveWorker;

// Decodes a live source in a thread of its own; everything it finds arrives through signals in
// the thread that owns this object. One source at a time; start() again after it has stopped.
class LiveDecoder : public QObject
{
    Q_OBJECT

public:
    // Called in the decoding thread, so the source and its sockets or devices live there.
    using SourceFactory = std::function<std::unique_ptr<AudioSource>()>;

    explicit LiveDecoder(QObject* parent = nullptr);
    ~LiveDecoder() override;

    void start(SourceFactory factory);
    // Stops the source and decodes what it delivered to the end; stopped("") follows.
    void stop();
    bool isRunning() const { return m_thread != nullptr; }

    void setToneHint(double hz);
    void clearToneHint();

signals:
    void started(const QString& sourceName, double sampleRate);
    // Empty message: stop() was asked; otherwise why the source ended or could not start.
    void stopped(const QString& message);
    void notice(const QString& message);
    // `utc`: when the beacon's first mark was heard.
    void beaconHeard(const cwaudio::AudioBeacon& beacon, const QDateTime& utc);
    void textDecoded(const QString& text, const QList<float>& confidence);
    void statusChanged(const cwaudio::DecoderStatus& status);
    void spectrumRow(const QList<float>& levelsDb);

private:
    void shutDown();
    void workerEnded(const QString& message);
    void tearDown();

    QThread* m_thread = nullptr;
    LiveWorker* m_worker = nullptr;
    int m_generation = 0; // the current run, counted from 1
};

} // namespace audiostream
