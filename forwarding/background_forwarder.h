// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forwarder.h"

#include <QList>
#include <QObject>
#include <QThread>

namespace forwarding {

class ForwardingWorker;

// Forwards the queued beacons of a logbook from a thread of its own, so that a window never waits
// for the disk or the network. It reads the station settings afresh for every round (the Station
// dialog may have changed them), tries what is due when told and every `pollSeconds`, and reports
// through signals.
class BackgroundForwarder : public QObject
{
    Q_OBJECT

public:
    static constexpr int pollSeconds = 60;

    explicit BackgroundForwarder(const QString& logbookPath, QObject* parent = nullptr);
    // Drops a request in flight: its beacon stays queued and goes out next time.
    ~BackgroundForwarder() override;

    // Sends what is due, if forwarding is on.
    void sendDue();
    // Queues the entries `ids` afresh and sends them now, whatever the forwarding switch says: the
    // user chose them.
    void sendNow(const QList<qint64>& ids);

signals:
    void uploadFinished(qint64 id, forwarding::UploadOutcome outcome, const QString& message);
    void cannotSend(const QString& message);
    void idle();

private:
    QThread m_thread;
    ForwardingWorker* m_worker;
};

} // namespace forwarding
