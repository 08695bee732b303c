// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_writer.h"

#include <utility>

namespace logbook {

// Lives on the writer's thread and owns the connection there (one Logbook per thread).
class WriterWorker : public QObject
{
    Q_OBJECT

public:
    explicit WriterWorker(QString path)
        : m_path(std::move(path))
    {
    }

    void append(const Entry& e)
    {
        QString error;
        if (!m_book.isOpen() && !m_book.open(m_path, &error)) {
            // Tried again with the next entry: the folder or lock may have come free.
            emit failed(error);
            return;
        }
        if (const auto id = m_book.append(e, &error)) {
            emit appended(*id, e.beacon);
        } else {
            emit failed(error);
        }
    }

signals:
    // Unnamed: moc's definitions in this file name them otherwise.
    void appended(qint64, const QString&);
    void failed(const QString&);

private:
    QString m_path;
    Logbook m_book;
};

BackgroundWriter::BackgroundWriter(const QString& path, QObject* parent)
    : QObject(parent)
    , m_worker(new WriterWorker(path))
{
    m_thread.setObjectName(QStringLiteral("logbook writer"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &WriterWorker::appended, this, &BackgroundWriter::appended);
    connect(m_worker, &WriterWorker::failed, this, &BackgroundWriter::failed);
    m_thread.start();
}

BackgroundWriter::~BackgroundWriter()
{
    // quit() is queued behind the appends already posted, so they are all written first.
    QMetaObject::invokeMethod(
        m_worker, [thread = &m_thread] { thread->quit(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void BackgroundWriter::append(const Entry& e)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, e] { worker->append(e); }, Qt::QueuedConnection);
}

} // namespace logbook

#include "background_writer.moc"
