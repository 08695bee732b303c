// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_decoder.h"
#include "current_run.h"
#include "live_worker.h"

#include <QThread>

namespace audiostream {

LiveDecoder::LiveDecoder(QObject* parent)
    : QObject(parent)
{
}

LiveDecoder::~LiveDecoder()
{
    // No signal now: whoever listened may be half destroyed.
    shutDown();
}

void LiveDecoder::start(SourceFactory factory)
{
    tearDown();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("live decoding"));
    const int run = ++m_generation;
    // What the run finds goes out from here; what it decodes while stop() finishes it still does.
    m_worker = new LiveWorker(std::move(factory), [this, run](std::function<void(LiveDecoder&)> deliver) {
        postIfCurrent(this, m_generation, run, [this, deliver = std::move(deliver)] { deliver(*this); });
    });
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_worker, &LiveWorker::run);
    // A worker stopped by stop() still reports its end; by then it is gone or another is running.
    connect(m_worker, &LiveWorker::ended, this, [this, run](const QString& message) {
        if (run == m_generation && m_thread) {
            workerEnded(message);
        }
    });
    m_thread->start();
}

void LiveDecoder::stop()
{
    if (m_thread) {
        shutDown();
        emit stopped({});
    }
}

void LiveDecoder::shutDown()
{
    if (!m_thread) {
        return;
    }
    QMetaObject::invokeMethod(m_worker, &LiveWorker::shutDown, Qt::BlockingQueuedConnection);
    tearDown();
}

void LiveDecoder::workerEnded(const QString& message)
{
    tearDown();
    emit stopped(message);
}

void LiveDecoder::tearDown()
{
    if (!m_thread) {
        return;
    }
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
    m_worker = nullptr;
    m_thread = nullptr;
}

void LiveDecoder::setToneHint(double hz)
{
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, [worker = m_worker, hz] { worker->setToneHint(hz); });
    }
}

void LiveDecoder::clearToneHint()
{
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, &LiveWorker::clearToneHint);
    }
}

} // namespace audiostream
