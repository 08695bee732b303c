// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_card_source.h"

#include <QAudioSource>
#include <QMediaDevices>

using namespace Qt::StringLiterals;

namespace audiostream {

QList<std::pair<QByteArray, QString>> soundCardInputs()
{
    QList<std::pair<QByteArray, QString>> inputs;
    const QAudioDevice preferred = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        const std::pair entry { device.id(), device.description() };
        if (device.id() == preferred.id()) {
            inputs.prepend(entry);
        } else {
            inputs.append(entry);
        }
    }
    return inputs;
}

SoundCardSource::SoundCardSource(const QByteArray& deviceId)
{
    m_device = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        if (device.id() == deviceId) {
            m_device = device;
        }
    }
}

SoundCardSource::~SoundCardSource()
{
    stop();
}

QString SoundCardSource::name() const
{
    return m_device.isNull() ? u"the sound card"_s
                             : u"sound card input \u201c%1\u201d"_s.arg(m_device.description());
}

bool SoundCardSource::start(QString* error)
{
    stop();
    if (m_device.isNull()) {
        *error = u"There is no sound card input on this computer."_s;
        return false;
    }
    // Mono 16-bit when the device offers it; anything else it prefers is converted here.
    QAudioFormat format = m_device.preferredFormat();
    QAudioFormat mono = format;
    mono.setChannelCount(1);
    mono.setSampleFormat(QAudioFormat::Int16);
    m_format = m_device.isFormatSupported(mono) ? mono : format;
    if (!m_format.isValid()) {
        *error = u"%1 offers no usable audio format."_s.arg(name());
        return false;
    }

    m_devices = new QMediaDevices(this);
    connect(m_devices, &QMediaDevices::audioInputsChanged, this, &SoundCardSource::devicesChanged);
    m_audio = new QAudioSource(m_device, m_format, this);
    connect(m_audio, &QAudioSource::stateChanged, this, &SoundCardSource::stateChanged);
    m_io = m_audio->start();
    if (!m_io || m_audio->error() != QAudio::NoError) {
        *error = u"cannot open %1."_s.arg(name());
        stop();
        return false;
    }
    connect(m_io, &QIODevice::readyRead, this, &SoundCardSource::readAvailable);
    return true;
}

void SoundCardSource::stop()
{
    if (m_audio) {
        disconnect(m_audio, nullptr, this, nullptr);
        m_audio->stop();
    }
    delete m_audio;
    m_audio = nullptr;
    m_io = nullptr;
    delete m_devices;
    m_devices = nullptr;
    m_pending.clear();
}

void SoundCardSource::readAvailable()
{
    if (!m_io) {
        return;
    }
    m_pending += m_io->readAll();
    const int frameBytes = m_format.bytesPerFrame();
    const int sampleBytes = m_format.bytesPerSample();
    const int channels = m_format.channelCount();
    const qsizetype frames = frameBytes > 0 ? m_pending.size() / frameBytes : 0;
    m_samples.resize(std::size_t(frames));
    for (qsizetype i = 0; i < frames; ++i) {
        const char* frame = m_pending.constData() + i * frameBytes;
        float sum = 0.0F;
        for (int c = 0; c < channels; ++c) {
            sum += m_format.normalizedSampleValue(frame + qsizetype(c) * sampleBytes);
        }
        m_samples[std::size_t(i)] = sum / float(channels);
    }
    m_pending.remove(0, frames * frameBytes);
    deliver(m_samples);
}

void SoundCardSource::stateChanged()
{
    if (!m_audio || m_audio->state() != QAudio::StoppedState || m_audio->error() == QAudio::NoError) {
        return;
    }
    const QString what =
        m_audio->error() == QAudio::OpenError ? u"could not be opened"_s : u"stopped delivering audio"_s;
    const QString message = u"%1 %2."_s.arg(name(), what);
    stop();
    emit failed(message.at(0).toUpper() + message.mid(1));
}

void SoundCardSource::devicesChanged()
{
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        if (device.id() == m_device.id()) {
            return;
        }
    }
    const QString message = u"%1 has gone (unplugged or disabled)."_s.arg(name());
    stop();
    emit failed(message.at(0).toUpper() + message.mid(1));
}

} // namespace audiostream
