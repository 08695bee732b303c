// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "upload_queue.h"

namespace logbook {
class Logbook;
struct Entry;
} // namespace logbook

namespace forwarding {

Upload uploadOf(const logbook::Entry& entry);

// The beacon log as the forwarder's queue: states, attempts and back-off live in its rows, so
// they survive a restart and are shared with the other program.
class LogbookQueue : public UploadQueue
{
public:
    explicit LogbookQueue(logbook::Logbook& book)
        : m_book(book)
    {
    }

    std::vector<Upload> dueUploads(const QDateTime& now) override;
    // Every queued upload, due or still backing off.
    std::vector<Upload> queuedUploads();
    bool markSent(qint64 id) override;
    bool markRetry(qint64 id, const QDateTime& next, const QString& message) override;
    bool markFailed(qint64 id, const QString& message) override;

private:
    logbook::Logbook& m_book;
};

} // namespace forwarding
