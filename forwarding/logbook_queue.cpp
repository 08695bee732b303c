// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook_queue.h"
#include "logbook.h"

namespace forwarding {

Upload uploadOf(const logbook::Entry& entry)
{
    return { entry.id, entry.utc, entry.beacon, entry.callsign.trimmed(), entry.uploadAttempts };
}

std::vector<Upload> LogbookQueue::dueUploads(const QDateTime& now)
{
    std::vector<Upload> uploads;
    for (const logbook::Entry& entry : m_book.dueUploads(now)) {
        uploads.push_back(uploadOf(entry));
    }
    return uploads;
}

std::vector<Upload> LogbookQueue::queuedUploads()
{
    constexpr int beyondAnyBackOff = 1000;
    return dueUploads(QDateTime::currentDateTimeUtc().addYears(beyondAnyBackOff));
}

bool LogbookQueue::markSent(qint64 id)
{
    return m_book.markSent(id);
}

bool LogbookQueue::markRetry(qint64 id, const QDateTime& next, const QString& message)
{
    return m_book.markRetry(id, next, message);
}

bool LogbookQueue::markFailed(qint64 id, const QString& message)
{
    return m_book.markFailed(id, message);
}

} // namespace forwarding
