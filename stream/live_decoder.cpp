// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_decoder.h"
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
    m_worker = new LiveWorker(std::move(factory));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_worker, &LiveWorker::run);
    connect(m_worker, &LiveWorker::started, this, &LiveDecoder::started);
    // A worker stopped by stop() still reports its end; by then another may be running.
    const int generation = ++m_generation;
    connect(m_worker, &LiveWorker::ended, this, [this, generation](const QString& message) {
        if (generation == m_generation) {
            workerEnded(message);
        }
    });
    connect(m_worker, &LiveWorker::notice, this, &LiveDecoder::notice);
    connect(m_worker, &LiveWorker::beaconHeard, this, &LiveDecoder::beaconHeard);
    connect(m_worker, &LiveWorker::textDecoded, this, &LiveDecoder::textDecoded);
    connect(m_worker, &LiveWorker::statusChanged, this, &LiveDecoder::statusChanged);
    connect(m_worker, &LiveWorker::spectrumRow, this, &LiveDecoder::spectrumRow);
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
    ++m_generation;
    tearDown();
}

void LiveDecoder::workerEnded(const QString& message)
{
    ++m_generation;
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
