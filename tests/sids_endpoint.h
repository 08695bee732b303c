// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

// A SiDS server on the loopback interface: records each POST and answers as told, in order
// (201 Created once the told answers run out).
class SidsEndpoint : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        int status = 201;
        QByteArray body;
        bool silent = false; // reads the request and never answers
    };
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray contentType;
        QList<QPair<QString, QString>> fields; // in the order sent, decoded
    };

    explicit SidsEndpoint(QObject* parent = nullptr);
    bool listen();
    void close();
    QUrl url() const;
    void tell(const Answer& answer) { m_answers << answer; }
    const QList<Request>& requests() const { return m_requests; }

signals:
    void received();

private:
    void readFrom(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    QList<Answer> m_answers;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
