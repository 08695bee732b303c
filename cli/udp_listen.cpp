// SPDX-License-Identifier: GPL-3.0-or-later
// tarnup-decode --udp: the audio stream of an SDR program, decoded as it arrives.
#include "batch_decoder.h"
#include "beacon_logger.h"

#include "cw_audio.h"
#include "udp_source.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int /*signal*/)
{
    stopRequested = 1;
}

// Ctrl+C and SIGTERM end the listening cleanly (what was heard is still decoded) while in scope.
class StopOnSignals
{
public:
    StopOnSignals()
    {
        stopRequested = 0;
        m_int = std::signal(SIGINT, requestStop);
        m_term = std::signal(SIGTERM, requestStop);
    }
    ~StopOnSignals()
    {
        std::signal(SIGINT, m_int);
        std::signal(SIGTERM, m_term);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    void (*m_int)(int);
    void (*m_term)(int);
};

constexpr int signalPollMs = 50;

} // namespace

void BatchDecoder::decodeUdp()
{
    QHostAddress host;
    quint16 port = 0;
    QString error;
    audiostream::parseUdpAddress(m_options.udp, &host, &port, &error); // checked with the options
    audiostream::UdpSource source(host, port, m_options.rate);
    const StopOnSignals signalGuard;
    if (!source.start(&error)) {
        fileError(error);
        return;
    }
    if (!m_options.quiet) {
        m_messages.buffer().append(
            u"tarnup-decode: listening on %1 at %2 Hz\n"_s.arg(source.name()).arg(m_options.rate).toUtf8());
        m_messages.flush();
    }

    Origin origin(source.name());
    bool any = false;
    qint64 samplesHeard = 0;
    if (m_log) {
        m_log->setLiveSource(u"udp"_s);
    }
    // Counted back from now, so pauses in the stream do not shift it.
    const auto utcOf = [this, &samplesHeard](double time) {
        const double ago = double(samplesHeard) / m_options.rate - time;
        return QDateTime::currentDateTimeUtc().addMSecs(-std::llround(ago * 1000.0));
    };
    const cwaudio::DecodeHandlers handlers = audioHandlers(origin, any, utcOf, true);
    // A CSV header goes out now, not when listening ends.
    m_out.flush();
    cwaudio::CwDecoder decoder(m_options.rate, handlers);
    decoder.setEarlyReports(true);
    source.setSink([&decoder, &samplesHeard](std::span<const float> samples) {
        samplesHeard += qint64(samples.size());
        decoder.feed(samples);
    });

    QEventLoop loop;
    QObject::connect(&source, &audiostream::AudioSource::notice, &loop, [this](const QString& text) {
        if (!text.isEmpty() && !m_options.quiet) {
            m_messages.buffer().append(u"tarnup-decode: %1\n"_s.arg(text).toUtf8());
            m_messages.flush();
        }
    });
    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &loop, [&loop] {
        if (stopRequested != 0) {
            loop.quit();
        }
    });
    signalPoll.start(signalPollMs);
    if (m_options.duration > 0.0) {
        QTimer::singleShot(qint64(m_options.duration * 1000.0), &loop, &QEventLoop::quit);
    }
    loop.exec();

    source.stop();
    decoder.finish();
    if (m_options.morseText) {
        m_out.buffer().append('\n');
        m_out.recordDone();
    } else if (!any) {
        m_sawNotBeacon = true;
    }
}

} // namespace decodecli
