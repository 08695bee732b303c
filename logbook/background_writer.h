// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"

#include <QObject>
#include <QThread>

namespace logbook {

class WriterWorker;

// Writes entries to a logbook on a thread of its own, so that a window never waits for the disk or
// for another program's transaction; results arrive through signals.
class BackgroundWriter : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundWriter(const QString& path, QObject* parent = nullptr);
    // Writes whatever is still queued before it returns.
    ~BackgroundWriter() override;

    void append(const Entry& e);

signals:
    void appended(qint64 id, const QString& beacon);
    void failed(const QString& message);

private:
    QThread m_thread;
    WriterWorker* m_worker;
};

} // namespace logbook
