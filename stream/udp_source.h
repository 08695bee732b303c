// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio_source.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>

#include <vector>

class QUdpSocket;

namespace audiostream {

inline constexpr quint16 defaultUdpPort = 7355; // gqrx's default
inline constexpr double defaultUdpRate = 48000.0; // what gqrx and SDR++ send

// "[HOST:]PORT" (HOST an address, "localhost" or an IPv6 address in brackets); without a host,
// 127.0.0.1. False with a message when it is not one.
bool parseUdpAddress(const QString& text, QHostAddress* host, quint16* port, QString* error);

// The audio stream SDR programs send: raw signed 16-bit little-endian mono samples, one block
// per datagram, at a rate both ends agree on.
class UdpSource final : public AudioSource
{
    Q_OBJECT

public:
    UdpSource(const QHostAddress& host, quint16 port, double sampleRate);
    ~UdpSource() override;

    double sampleRate() const override { return m_rate; }
    QString name() const override;
    // Fails when the port is in use by another program, naming it.
    bool start(QString* error) override;
    void stop() override;

    // The port actually bound (useful when started with port 0).
    quint16 boundPort() const;

    // How long the stream may pause, once it has started, before the listener is told.
    static constexpr int quietMs = 3000;

private:
    void readDatagrams();
    void checkQuiet();

    QHostAddress m_host;
    quint16 m_port;
    double m_rate;
    QUdpSocket* m_socket = nullptr;
    QTimer m_watchdog;
    QElapsedTimer m_sinceData;
    bool m_quietReported = false;
    QByteArray m_datagram;
    std::vector<float> m_samples;
};

} // namespace audiostream
