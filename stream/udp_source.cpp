// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp_source.h"
#include "pcm.h"

#include <QUdpSocket>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace audiostream {

bool parseUdpAddress(const QString& text, QHostAddress* host, quint16* port, QString* error)
{
    QString hostText;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        hostText = text.left(colon);
        portText = text.mid(colon + 1);
        if (hostText.startsWith(u'[') && hostText.endsWith(u']')) {
            hostText = hostText.mid(1, hostText.size() - 2);
        }
    }
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number == 0 || number > 65535) {
        *error = u"'%1' is no UDP port (give [HOST:]PORT, PORT 1 to 65535)"_s.arg(text);
        return false;
    }
    QHostAddress address(QHostAddress::LocalHost);
    if (hostText == u"localhost") {
        address = QHostAddress(QHostAddress::LocalHost);
    } else if (!hostText.isEmpty() && !address.setAddress(hostText)) {
        *error = u"'%1' is no IP address to listen on"_s.arg(hostText);
        return false;
    }
    *host = address;
    *port = quint16(number);
    return true;
}

UdpSource::UdpSource(const QHostAddress& host, quint16 port, double sampleRate)
    : m_host(host)
    , m_port(port)
    , m_rate(sampleRate)
{
    m_watchdog.setInterval(500);
    connect(&m_watchdog, &QTimer::timeout, this, &UdpSource::checkQuiet);
}

UdpSource::~UdpSource() = default;

QString UdpSource::name() const
{
    const QString host = m_host.protocol() == QAbstractSocket::IPv6Protocol ? u"[%1]"_s.arg(m_host.toString())
                                                                            : m_host.toString();
    return u"UDP port %1:%2"_s.arg(host).arg(m_port);
}

bool UdpSource::start(QString* error)
{
    stop();
    m_socket = new QUdpSocket(this);
    // Not shared: a second listener on the port would silently split the stream with us.
    if (!m_socket->bind(m_host, m_port, QAbstractSocket::DontShareAddress)) {
        const QString why = m_socket->error() == QAbstractSocket::AddressInUseError
            ? u"it is in use by another program"_s
            : m_socket->errorString();
        *error = u"cannot listen on %1: %2"_s.arg(name(), why);
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    // Room for a few seconds of audio while the decoder catches up.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(1 << 20));
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpSource::readDatagrams);
    m_sinceData.invalidate();
    m_quietReported = false;
    m_watchdog.start();
    return true;
}

void UdpSource::stop()
{
    m_watchdog.stop();
    delete m_socket;
    m_socket = nullptr;
}

quint16 UdpSource::boundPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void UdpSource::readDatagrams()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        m_datagram.resize(qMax<qint64>(size, 0));
        const qint64 got = m_socket->readDatagram(m_datagram.data(), m_datagram.size());
        if (got <= 0) {
            continue;
        }
        m_sinceData.start();
        if (m_quietReported) {
            m_quietReported = false;
            emit notice({});
        }
        m_samples.clear();
        appendS16le(QByteArrayView(m_datagram.constData(), got), m_samples);
        deliver(m_samples);
    }
}

void UdpSource::checkQuiet()
{
    if (m_sinceData.isValid() && !m_quietReported && m_sinceData.elapsed() >= quietMs) {
        m_quietReported = true;
        emit notice(u"No audio on %1 for %2 s: has the SDR program stopped streaming?"_s.arg(name()).arg(
            quietMs / 1000));
    }
}

} // namespace audiostream
