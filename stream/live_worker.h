// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"
#include "cw_audio.h"
#include "decoding_pipeline.h"

#include <QObject>

#include <functional>
#include <memory>

namespace audiostream {

class LiveDecoder;

// How often the live waterfall gets a row.
inline constexpr double liveRowSeconds = 0.1;

// The decoding thread's side of a LiveDecoder: owns the source and the pipeline, and hands what
// it finds to the LiveDecoder's own signals through `post`.
class LiveWorker : public QObject
{
    Q_OBJECT

public:
    // Runs its argument in the LiveDecoder's thread, as long as this worker's run is its current one.
    using Post = std::function<void(std::function<void(LiveDecoder&)>)>;

    LiveWorker(std::function<std::unique_ptr<AudioSource>()> factory, Post post);
    ~LiveWorker() override;

    void run();
    // Stops and decodes to the end, without a message.
    void shutDown();
    void setToneHint(double hz);
    void clearToneHint();

signals:
    // The source has ended or could not start (`message` says why), or shutDown() was called.
    void ended(const QString& message);

private:
    void end(const QString& message);

    std::function<std::unique_ptr<AudioSource>()> m_factory;
    Post m_post;
    std::unique_ptr<AudioSource> m_source;
    std::unique_ptr<DecodingPipeline> m_pipeline;
    bool m_ended = false;
};

} // namespace audiostream
