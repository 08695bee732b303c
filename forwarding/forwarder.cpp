// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarder.h"
#include "retry_delay.h"
#include "sids_report.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

namespace forwarding {

namespace {

constexpr qsizetype longestServerMessage = 300;

// The server's own words, on one line and short enough for a table cell.
QString serverMessage(int status, const QString& reason, const QByteArray& body)
{
    QString text = QString::fromUtf8(body).simplified();
    if (text.size() > longestServerMessage) {
        text = text.left(longestServerMessage) + u'…';
    }
    QString message = u"HTTP %1"_s.arg(status);
    if (!reason.isEmpty()) {
        message += u' ' + reason;
    }
    return text.isEmpty() ? message : message + u": "_s + text;
}

// Request Timeout and Too Many Requests say "later", not "never".
bool isTransient(int status)
{
    return status >= 500 || status == 408 || status == 429;
}

QString userAgent()
{
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    return (name.isEmpty() ? u"tarnup-decoder"_s : name) + (version.isEmpty() ? QString() : u'/' + version);
}

} // namespace

Forwarder::Forwarder(UploadQueue& queue, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_network(new QNetworkAccessManager(this))
{
}

void Forwarder::setStation(const StationSettings& station)
{
    m_station = station;
}

void Forwarder::sendDue()
{
    if (!m_station.forwardingOn) {
        if (!isBusy()) {
            emit idle();
        }
        return;
    }
    send(m_queue.dueUploads(QDateTime::currentDateTimeUtc()));
}

void Forwarder::send(const std::vector<Upload>& uploads)
{
    if (uploads.empty()) {
        if (!isBusy()) {
            emit idle();
        }
        return;
    }
    const QString problems = m_station.problems();
    if (!problems.isEmpty()) {
        emit cannotSend(u"Nothing sent: the station settings have %1."_s.arg(problems));
        if (!isBusy()) {
            emit idle();
        }
        return;
    }
    for (const Upload& upload : uploads) {
        if (!m_waiting.contains(upload.id)) {
            m_waiting.insert(upload.id);
            m_pending.push_back(upload);
        }
    }
    startNext();
}

void Forwarder::startNext()
{
    if (m_inFlight) {
        return;
    }
    if (m_pending.empty()) {
        emit idle();
        return;
    }
    const Upload upload = m_pending.front();
    m_pending.pop_front();
    m_inFlight = true;

    QNetworkRequest request(m_station.sidsUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/x-www-form-urlencoded"_s);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setTransferTimeout(m_station.timeoutSeconds * 1000);
    QNetworkReply* reply =
        m_network->post(request, sidsFormBody(m_station, { upload.utc, upload.beacon, upload.callsign }));
    connect(reply, &QNetworkReply::finished, this, [this, reply, upload] { replyFinished(reply, upload); });
}

void Forwarder::replyFinished(QNetworkReply* reply, const Upload& upload)
{
    reply->deleteLater();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusValue.isValid() ? statusValue.toInt() : 0;
    if (status == 0) {
        const QString why = reply->error() == QNetworkReply::OperationCanceledError
            ? u"no answer within %1 s"_s.arg(m_station.timeoutSeconds)
            : reply->errorString();
        record(upload, UploadOutcome::retry, u"%1 (%2)"_s.arg(why, m_station.sidsUrl.toString()));
        // The server cannot be reached: the rest would only wait out the same failure.
        for (const Upload& skipped : m_pending) {
            m_waiting.remove(skipped.id);
        }
        m_pending.clear();
    } else {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const QString message = serverMessage(status, reason, reply->readAll());
        if (status >= 200 && status < 300) {
            record(upload, UploadOutcome::sent, message);
        } else if (isTransient(status)) {
            record(upload, UploadOutcome::retry, message);
        } else {
            record(upload, UploadOutcome::failed, message);
        }
    }
    m_inFlight = false;
    m_waiting.remove(upload.id);
    startNext();
}

void Forwarder::record(const Upload& upload, UploadOutcome outcome, const QString& message)
{
    bool recorded = false;
    switch (outcome) {
    case UploadOutcome::sent:
        recorded = m_queue.markSent(upload.id);
        break;
    case UploadOutcome::retry:
        recorded = m_queue.markRetry(upload.id,
            QDateTime::currentDateTimeUtc().addSecs(retryDelaySeconds(upload.attempts + 1)), message);
        break;
    case UploadOutcome::failed:
        recorded = m_queue.markFailed(upload.id, message);
        break;
    }
    emit uploadFinished(
        upload.id, outcome, recorded ? message : message + u" (the logbook could not record this outcome)"_s);
}

} // namespace forwarding
