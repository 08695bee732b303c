// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"
#include "pcm.h"

#include <QPointer>

class QIODevice;

namespace audiostream {

// Raw signed 16-bit little-endian mono PCM read from any QIODevice (a pipe, a socket, a buffer),
// as it becomes readable. The end of the device's data ends the source with a message.
class DeviceSource final : public AudioSource
{
    Q_OBJECT

public:
    // `device` must outlive the source and be open for reading.
    DeviceSource(QIODevice* device, double sampleRate, QString name);

    double sampleRate() const override { return m_rate; }
    QString name() const override { return m_name; }
    bool start(QString* error) override;
    void stop() override;

private:
    void readAvailable();
    void ended();

    QPointer<QIODevice> m_device;
    double m_rate;
    QString m_name;
    Int16Stream m_pcm;
    bool m_running = false;
    bool m_readQueued = false;
    bool m_channelFinished = false;
};

} // namespace audiostream
