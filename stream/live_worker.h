// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"
#include "cw_audio.h"
#include "decoding_pipeline.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

namespace audiostream {

// How often the live waterfall gets a row.
inline constexpr double liveRowSeconds = 0.1;

// The decoding thread's side of a LiveDecoder: owns the source and the pipeline.
class LiveWorker : public QObject
{
    Q_OBJECT

public:
    explicit LiveWorker(std::function<std::unique_ptr<AudioSource>()> factory);
    ~LiveWorker() override;

    void run();
    // Stops and decodes to the end, without a message.
    void shutDown();
    void setToneHint(double hz);
    void clearToneHint();

signals:
    void started(const QString& sourceName, double sampleRate);
    void ended(const QString& message);
    void notice(const QString& message);
    void beaconHeard(const cwaudio::AudioBeacon& beacon, const QDateTime& utc);
    void textDecoded(const QString& text, const QList<float>& confidence);
    void statusChanged(const cwaudio::DecoderStatus& status);
    void spectrumRow(const QList<float>& levelsDb);

private:
    void end(const QString& message);

    std::function<std::unique_ptr<AudioSource>()> m_factory;
    std::unique_ptr<AudioSource> m_source;
    std::unique_ptr<DecodingPipeline> m_pipeline;
    bool m_ended = false;
};

} // namespace audiostream
