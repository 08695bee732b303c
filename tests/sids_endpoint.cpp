// SPDX-License-Identifier: GPL-3.0-or-later
#include "sids_endpoint.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {

QString formDecoded(QByteArray text)
{
    text.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
}

QByteArray headerValue(const QList<QByteArray>& lines, const QByteArray& name)
{
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name) {
            return line.mid(colon + 1).trimmed();
        }
    }
    return {};
}

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 400:
        return "Bad Request";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

SidsEndpoint::SidsEndpoint(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
        }
    });
}

bool SidsEndpoint::listen()
{
    if (!m_server->listen(QHostAddress::LocalHost, m_port)) {
        return false;
    }
    m_port = m_server->serverPort();
    return true;
}

void SidsEndpoint::close()
{
    m_server->close();
    for (QTcpSocket* socket : m_server->findChildren<QTcpSocket*>()) {
        socket->abort();
    }
}

QUrl SidsEndpoint::url() const
{
    return QUrl { u"http://127.0.0.1:%1/api/telemetry/"_s.arg(m_port) };
}

void SidsEndpoint::readFrom(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        return;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const qsizetype length = headerValue(lines, "content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + length) {
        return;
    }
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request { requestLine.value(0), requestLine.value(1), headerValue(lines, "content-type"), {} };
    const QByteArray body = buffer.mid(headerEnd + 4, length);
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        request.fields << qMakePair(formDecoded(pair.left(equals)), formDecoded(pair.mid(equals + 1)));
    }
    buffer.clear();
    m_requests << request;

    const Answer answer = m_answers.isEmpty() ? Answer {} : m_answers.takeFirst();
    if (!answer.silent) {
        socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonFor(answer.status) +
            "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
            "\r\nConnection: close\r\n\r\n" + answer.body);
        socket->disconnectFromHost();
    }
    emit received();
}
