// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_source.h"

#include <QIODevice>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace audiostream {

namespace {
// Small enough that stopping is never far away, large enough to cost nothing per call.
constexpr qint64 chunkBytes = 16384;
} // namespace

DeviceSource::DeviceSource(QIODevice* device, double sampleRate, QString name)
    : m_device(device)
    , m_rate(sampleRate)
    , m_name(std::move(name))
{
}

bool DeviceSource::start(QString* error)
{
    if (!m_device || !m_device->isReadable()) {
        *error = u"cannot read %1: it is not open for reading"_s.arg(m_name);
        return false;
    }
    m_running = true;
    m_channelFinished = false;
    connect(m_device, &QIODevice::readyRead, this, &DeviceSource::readAvailable, Qt::UniqueConnection);
    connect(m_device, &QIODevice::readChannelFinished, this, [this] {
        m_channelFinished = true;
        readAvailable();
    });
    QTimer::singleShot(0, this, &DeviceSource::readAvailable);
    return true;
}

void DeviceSource::stop()
{
    m_running = false;
    if (m_device) {
        disconnect(m_device, nullptr, this, nullptr);
    }
}

void DeviceSource::readAvailable()
{
    m_readQueued = false;
    if (!m_running || !m_device) {
        return;
    }
    QByteArray chunk = m_device->read(chunkBytes);
    if (!chunk.isEmpty()) {
        deliver(m_pcm.convert(chunk));
    }
    // The sink may have stopped us.
    if (!m_running || !m_device) {
        return;
    }
    if (m_device->bytesAvailable() > 0) {
        // Let a stop request in between, rather than reading a whole file in one go.
        if (!m_readQueued) {
            m_readQueued = true;
            QTimer::singleShot(0, this, &DeviceSource::readAvailable);
        }
        return;
    }
    // A file or buffer ends at its end; a pipe or socket when its writer closes it.
    if (!m_device->isOpen() || (m_device->isSequential() ? m_channelFinished : m_device->atEnd())) {
        ended();
    }
}

void DeviceSource::ended()
{
    stop();
    emit failed(u"The stream from %1 ended."_s.arg(m_name));
}

} // namespace audiostream
