// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace forwarding {

// A logged beacon waiting to be reported.
struct Upload
{
    qint64 id = 0;
    QDateTime utc;
    QString beacon;
    QString callsign; // of the station that logged it; empty: the station's now
    int attempts = 0; // tries made so far
};

// Where the uploads and their states persist (the logbook), so that nothing is lost or sent
// twice across restarts.
class UploadQueue
{
public:
    virtual ~UploadQueue() = default;
    // Queued uploads whose next try is not later than `now`, oldest first.
    virtual std::vector<Upload> dueUploads(const QDateTime& now) = 0;
    virtual bool markSent(qint64 id) = 0;
    // Stays queued until `next`; counts the attempt.
    virtual bool markRetry(qint64 id, const QDateTime& next, const QString& message) = 0;
    // Not retried unless the user asks again.
    virtual bool markFailed(qint64 id, const QString& message) = 0;

protected:
    UploadQueue() = default;
    UploadQueue(const UploadQueue&) = default;
    UploadQueue& operator=(const UploadQueue&) = default;
};

} // namespace forwarding
