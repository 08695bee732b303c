// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upload_queue.h"

#include <QMap>

// The uploads and their states held in memory, for the forwarder's tests; the logbook keeps them
// on disk in the program.
class MemoryUploadQueue : public forwarding::UploadQueue
{
public:
    struct Row
    {
        forwarding::Upload upload;
        QString state = QStringLiteral("queued");
        QDateTime next;
        QString message;
    };

    void add(const forwarding::Upload& upload)
    {
        rows[upload.id] = Row { upload, QStringLiteral("queued"), {}, {} };
    }

    std::vector<forwarding::Upload> dueUploads(const QDateTime& now) override
    {
        std::vector<forwarding::Upload> due;
        for (const Row& row : std::as_const(rows)) {
            if (row.state == QStringLiteral("queued") && (!row.next.isValid() || row.next <= now)) {
                due.push_back(row.upload);
            }
        }
        return due;
    }
    bool markSent(qint64 id) override { return mark(id, QStringLiteral("sent"), {}); }
    bool markRetry(qint64 id, const QDateTime& next, const QString& message) override
    {
        rows[id].next = next;
        ++rows[id].upload.attempts;
        return mark(id, QStringLiteral("queued"), message);
    }
    bool markFailed(qint64 id, const QString& message) override
    {
        return mark(id, QStringLiteral("failed"), message);
    }

    QMap<qint64, Row> rows;

private:
    bool mark(qint64 id, const QString& state, const QString& message)
    {
        rows[id].state = state;
        rows[id].message = message;
        return true;
    }
};
