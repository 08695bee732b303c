// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <span>

namespace audiostream {

// Where live audio comes from. A source lives in one thread and hands its mono samples, scaled
// to -1..1, to the sink in that thread as they arrive.
class AudioSource : public QObject
{
    Q_OBJECT

public:
    using Sink = std::function<void(std::span<const float>)>;

    void setSink(Sink sink) { m_sink = std::move(sink); }

    virtual double sampleRate() const = 0;
    // What messages call the source, e.g. "UDP port 7355".
    virtual QString name() const = 0;
    // Starts delivering; false with a message naming the source when it cannot.
    virtual bool start(QString* error) = 0;
    virtual void stop() = 0;

signals:
    // The source has stopped for good (device gone, stream ended); the message says why.
    void failed(const QString& message);
    // Something the listener should know while the source goes on (e.g. the stream went quiet);
    // an empty message withdraws it.
    void notice(const QString& message);

protected:
    void deliver(std::span<const float> samples)
    {
        if (m_sink && !samples.empty()) {
            m_sink(samples);
        }
    }

private:
    Sink m_sink;
};

} // namespace audiostream
