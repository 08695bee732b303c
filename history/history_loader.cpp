// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_loader.h"

#include "history_csv.h"

#include <QSaveFile>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

HistoryLoader::HistoryLoader(QString path)
    : m_path(std::move(path))
{
}

bool HistoryLoader::ensureOpen()
{
    QString error;
    if (!m_book.isOpen() && !m_book.open(m_path, &error)) {
        emit failed(error);
        return false;
    }
    return true;
}

void HistoryLoader::load(const logbook::Filter& f)
{
    m_filter = f;
    m_filter.afterId = 0;
    if (!ensureOpen()) {
        return;
    }
    // Read first: a write landing during the query shows up at the next poll.
    m_version = m_book.dataVersion();
    std::vector<logbook::Entry> entries = m_book.entries(m_filter);
    m_count = qint64(entries.size());
    m_maxId = 0;
    for (const logbook::Entry& e : entries) {
        m_maxId = std::max(m_maxId, e.id);
    }
    emit loaded(entries);
}

void HistoryLoader::poll()
{
    if (!ensureOpen()) {
        return;
    }
    const qint64 version = m_book.dataVersion();
    if (version == m_version) {
        return;
    }
    m_version = version;
    logbook::Filter newer = m_filter;
    newer.afterId = m_maxId;
    std::vector<logbook::Entry> added = m_book.entries(newer);
    // Only additions when the count grew by exactly them; else something was deleted or changed.
    if (m_book.count(m_filter) != m_count + qint64(added.size())) {
        load(m_filter);
        return;
    }
    if (added.empty()) {
        return;
    }
    m_count += qint64(added.size());
    for (const logbook::Entry& e : added) {
        m_maxId = std::max(m_maxId, e.id);
    }
    emit appended(added);
}

void HistoryLoader::remove(const QList<qint64>& ids)
{
    if (!ensureOpen()) {
        return;
    }
    if (!m_book.remove(ids)) {
        emit failed(m_book.lastError());
    }
    load(m_filter);
}

void HistoryLoader::exportCsv(const QString& path, const std::vector<logbook::Entry>& entries)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        emit failed(u"%1: %2"_s.arg(path, file.errorString()));
        return;
    }
    file.write(historyCsv(entries));
    if (!file.commit()) {
        emit failed(u"%1: %2"_s.arg(path, file.errorString()));
        return;
    }
    emit exported(path, qsizetype(entries.size()));
}
