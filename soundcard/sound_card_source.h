// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"

#include <QAudioDevice>
#include <QAudioFormat>

#include <vector>

class QAudioSource;
class QIODevice;
class QMediaDevices;

namespace audiostream {

// The sound card inputs there are now, as (id, description); the default one first.
QList<std::pair<QByteArray, QString>> soundCardInputs();

// A sound card input through Qt Multimedia, mixed to mono at the device's own rate.
class SoundCardSource final : public AudioSource
{
    Q_OBJECT

public:
    // `deviceId` empty: the system's default input.
    explicit SoundCardSource(const QByteArray& deviceId);
    ~SoundCardSource() override;

    double sampleRate() const override { return m_format.sampleRate(); }
    QString name() const override;
    // Fails when there is no such input (or none at all) or it cannot be opened.
    bool start(QString* error) override;
    void stop() override;

private:
    void readAvailable();
    void stateChanged();
    void devicesChanged();

    QAudioDevice m_device;
    QAudioFormat m_format;
    QMediaDevices* m_devices = nullptr;
    QAudioSource* m_audio = nullptr;
    QIODevice* m_io = nullptr;
    QByteArray m_pending;
    std::vector<float> m_samples;
};

} // namespace audiostream
