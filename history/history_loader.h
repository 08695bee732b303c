// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"

#include <QObject>

#include <vector>

// The History window's work on the log, done on a thread of its own with its own connection.
class HistoryLoader : public QObject
{
    Q_OBJECT

public:
    explicit HistoryLoader(QString path);

    // Reads every entry `f` selects and remembers `f` for poll().
    void load(const logbook::Filter& f);
    // When anyone wrote to the log since: hands on the new entries, or all again after a deletion.
    void poll();
    void remove(const QList<qint64>& ids);
    void exportCsv(const QString& path, const std::vector<logbook::Entry>& entries);

signals:
    void loaded(const std::vector<logbook::Entry>& entries);
    void appended(const std::vector<logbook::Entry>& entries);
    void exported(const QString& path, qsizetype count);
    void failed(const QString& message);

private:
    bool ensureOpen();

    QString m_path;
    logbook::Logbook m_book;
    logbook::Filter m_filter;
    qint64 m_version = -1;
    qint64 m_count = 0;
    qint64 m_maxId = 0;
};
