// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_forwarder.h"
#include "logbook.h"
#include "logbook_queue.h"

#include <QFile>
#include <QSet>
#include <QTimer>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace forwarding {

// Lives on the forwarder's thread and owns the logbook connection, the network and the poll there.
class ForwardingWorker : public QObject
{
    Q_OBJECT

public:
    explicit ForwardingWorker(QString path)
        : m_path(std::move(path))
    {
    }
    ~ForwardingWorker() override { delete m_forwarder; } // before the queue it uses
    ForwardingWorker(const ForwardingWorker&) = delete;
    ForwardingWorker& operator=(const ForwardingWorker&) = delete;

    void sendDue()
    {
        if (ready()) {
            m_forwarder->sendDue();
        }
    }

    void sendNow(const QList<qint64>& ids)
    {
        if (!ready()) {
            return;
        }
        if (!m_book.setUploadState(ids, u"queued"_s)) {
            emit cannotSend(
                u"Nothing sent: the logbook could not be written (%1)."_s.arg(m_book.lastError()));
            emit idle();
            return;
        }
        const QSet<qint64> wanted(ids.cbegin(), ids.cend());
        std::vector<Upload> uploads;
        for (const logbook::Entry& entry : m_book.entries()) {
            if (wanted.contains(entry.id)) {
                uploads.push_back(uploadOf(entry));
            }
        }
        m_forwarder->send(uploads);
    }

signals:
    // Unnamed, as moc's definitions are: see BackgroundForwarder for their meaning.
    void uploadFinished(qint64, forwarding::UploadOutcome, const QString&);
    void cannotSend(const QString&);
    void idle();

private:
    // Opens the logbook on first use (and again after a failure) and takes the current settings.
    bool ready()
    {
        if (!m_book.isOpen()) {
            // Nothing logged yet, so nothing to send; the logbook's writer makes the file.
            if (!QFile::exists(m_path)) {
                emit idle();
                return false;
            }
            QString error;
            if (!m_book.open(m_path, &error)) {
                emit cannotSend(u"Nothing sent: the logbook could not be opened (%1)."_s.arg(error));
                emit idle();
                return false;
            }
        }
        if (!m_forwarder) {
            m_queue = std::make_unique<LogbookQueue>(m_book);
            m_forwarder = new Forwarder(*m_queue, this);
            connect(m_forwarder, &Forwarder::uploadFinished, this, &ForwardingWorker::uploadFinished);
            connect(m_forwarder, &Forwarder::cannotSend, this, &ForwardingWorker::cannotSend);
            connect(m_forwarder, &Forwarder::idle, this, &ForwardingWorker::idle);
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, &ForwardingWorker::sendDue);
            poll->start(BackgroundForwarder::pollSeconds * 1000);
        }
        m_forwarder->setStation(StationSettings::load());
        return true;
    }

    QString m_path;
    logbook::Logbook m_book;
    std::unique_ptr<LogbookQueue> m_queue;
    Forwarder* m_forwarder = nullptr;
};

BackgroundForwarder::BackgroundForwarder(const QString& logbookPath, QObject* parent)
    : QObject(parent)
    , m_worker(new ForwardingWorker(logbookPath))
{
    m_thread.setObjectName(u"forwarder"_s);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ForwardingWorker::uploadFinished, this, &BackgroundForwarder::uploadFinished);
    connect(m_worker, &ForwardingWorker::cannotSend, this, &BackgroundForwarder::cannotSend);
    connect(m_worker, &ForwardingWorker::idle, this, &BackgroundForwarder::idle);
    m_thread.start();
    sendDue(); // what an earlier session left queued
}

BackgroundForwarder::~BackgroundForwarder()
{
    m_thread.quit();
    m_thread.wait();
}

void BackgroundForwarder::sendDue()
{
    QMetaObject::invokeMethod(m_worker, &ForwardingWorker::sendDue, Qt::QueuedConnection);
}

void BackgroundForwarder::sendNow(const QList<qint64>& ids)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ids] { worker->sendNow(ids); }, Qt::QueuedConnection);
}

} // namespace forwarding

#include "background_forwarder.moc"
