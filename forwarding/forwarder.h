// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"
#include "upload_queue.h"

#include <QObject>
#include <QSet>

#include <deque>

class QNetworkAccessManager;
class QNetworkReply;

namespace forwarding {

enum class UploadOutcome {
    sent, // the server took it (2xx); never sent again by itself
    retry, // no answer, a timeout or a server error: stays queued, tried again later
    failed, // the server turned it down (4xx): kept with its message, not retried by itself
};

// Reports queued beacons to a SiDS server, one request at a time, and records each outcome in
// the queue. Network work is asynchronous: results arrive through signals.
class Forwarder : public QObject
{
    Q_OBJECT

public:
    explicit Forwarder(UploadQueue& queue, QObject* parent = nullptr);

    void setStation(const StationSettings& station);
    const StationSettings& station() const { return m_station; }

    // Sends every upload that is due, if forwarding is on; does nothing while it is off.
    void sendDue();
    // Sends these now whatever the forwarding switch says: the user picked them.
    void send(const std::vector<Upload>& uploads);

    bool isBusy() const { return !m_waiting.isEmpty(); }

signals:
    void uploadFinished(qint64 id, forwarding::UploadOutcome outcome, const QString& message);
    // Nothing was sent: the station settings lack what a report needs.
    void cannotSend(const QString& message);
    // The last request in flight has finished (or nothing was due).
    void idle();

private:
    void startNext();
    void replyFinished(QNetworkReply* reply, const Upload& upload);
    void record(const Upload& upload, UploadOutcome outcome, const QString& message);

    UploadQueue& m_queue;
    StationSettings m_station;
    QNetworkAccessManager* m_network = nullptr;
    std::deque<Upload> m_pending;
    QSet<qint64> m_waiting; // pending or in flight, so that no upload goes out twice at once
    bool m_inFlight = false;
};

} // namespace forwarding
