// SPDX-License-Identifier: GPL-3.0-or-later
// The Receiver in the real main window (run offscreen or under Xvfb), two measurements:
//   bench_receiver --live SECONDS [--gap-probe]
//                                      a 48 kHz UDP stream sent in real time from a thread of this
//                                      process: CPU share of the decoding thread, the GUI thread and
//                                      the whole (less the sender); beacon end to report in Text3;
//                                      the longest the GUI thread was busy at once. --gap-probe adds a
//                                      2 ms timer in the GUI thread for its longest wall-time gap; its
//                                      500 wake-ups a second cost CPU of their own, so that run's
//                                      CPU shares are not the window's
//   bench_receiver --recording FILE [--runs N]   Open Recording, start to done, median
#include "bench_median.h"
#include "cw_audio.h"
#include "cw_synth.h"
#include "form1.h"
#include "receiver.h"
#include "udp_source.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <random>

using namespace Qt::StringLiterals;

namespace {

double threadCpuNow()
{
    timespec cpu {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return double(cpu.tv_sec) + double(cpu.tv_nsec) * 1e-9;
}

// Times every event the GUI thread handles from the event loop, in that thread's CPU time, so that
// the figure is the program's own work and not the time other programs had the core.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        // notify() runs in every thread with an event loop; only the GUI thread's count here.
        if (QThread::currentThread() != thread()) {
            return QApplication::notify(receiver, event);
        }
        if (m_depth++ > 0 || !m_timing) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const double before = threadCpuNow();
        // Both read now: the event may delete its receiver.
        const int type = event->type();
        const QMetaObject* receiverClass = receiver->metaObject();
        const bool handled = QApplication::notify(receiver, event);
        const double took = threadCpuNow() - before;
        if (took > m_longest) {
            m_longest = took;
            m_longestWhat =
                QByteArray(receiverClass->className()) + ", event type " + QByteArray::number(type);
        }
        --m_depth;
        return handled;
    }

    void startTiming() { m_timing = true; }
    double longestSeconds() const { return m_longest; }
    QByteArray longestWhat() const { return m_longestWhat; }

private:
    int m_depth = 0;
    bool m_timing = false;
    double m_longest = 0.0;
    QByteArray m_longestWhat;
};

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds of this process's threads called `name` (from /proc).
double threadCpuSeconds(const QByteArray& name)
{
    double seconds = 0.0;
    const long ticks = sysconf(_SC_CLK_TCK);
    for (const QString& task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(u"/proc/self/task/%1/comm"_s.arg(task));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name) {
            continue;
        }
        QFile stat(u"/proc/self/task/%1/stat"_s.arg(task));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        // utime and stime are fields 14 and 15 of stat, 12 and 13 after the name.
        seconds += double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(ticks);
    }
    return seconds;
}

// The sample after the last key-down of each sent beacon, from a noise-free twin of the signal.
std::vector<qint64> beaconEnds(cwsynth::SignalParams p, const std::vector<std::string>& texts)
{
    p.noise = false;
    cwsynth::Signal clean(p, texts);
    const std::vector<float> samples = clean.renderAll();
    std::vector<qint64> ends;
    const auto& sent = clean.sent();
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const auto from = qint64(sent[i].start * p.sampleRate);
        const qint64 to =
            i + 1 < sent.size() ? qint64(sent[i + 1].start * p.sampleRate) : qint64(samples.size());
        qint64 last = from;
        for (qint64 k = from; k < to; ++k) {
            if (std::abs(samples[std::size_t(k)]) > 0.1F * float(p.amplitude)) {
                last = k;
            }
        }
        ends.push_back(last + 1);
    }
    return ends;
}

// How long after each beacon's last mark (`ends`) the decoder alone reports it, fed `samples` in
// the sender's blocks without any thread, socket or window: the part of the latency that is its own.
std::vector<double> decoderHoldMs(const std::vector<float>& samples, double rate,
    const std::vector<std::string>& texts, const std::vector<qint64>& ends, std::size_t block)
{
    std::vector<double> holds;
    qint64 fed = 0;
    cwaudio::DecodeHandlers handlers;
    handlers.beacon = [&](const cwaudio::AudioBeacon& heard) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (heard.text == QString::fromStdString(texts[i])) {
                holds.push_back(double(fed - ends[i]) / rate * 1e3);
                return;
            }
        }
    };
    cwaudio::CwDecoder decoder(rate, handlers);
    decoder.setEarlyReports(true); // as the Receiver listens
    for (std::size_t at = 0; at < samples.size(); at += block) {
        const std::size_t n = std::min(block, samples.size() - at);
        fed = qint64(at) + qint64(n);
        decoder.feed(std::span<const float>(samples.data() + at, n));
    }
    decoder.finish();
    return holds;
}

int live(double seconds, bool gapProbe)
{
    static constexpr double rate = 48000.0;
    static constexpr quint16 port = 7399;
    cwsynth::SignalParams p;
    p.sampleRate = rate;
    p.wpm = 20.0;
    p.snrDb = 6.0;
    p.startHz = 750.0;
    p.seed = 99;
    // A live stream goes on after the last beacon; the decoder needs to hear that.
    p.tailSeconds = 6.0;
    std::mt19937_64 random(p.seed);
    const int count = int(seconds / 15.0);
    std::vector<std::string> texts;
    texts.reserve(std::size_t(std::max(0, count)));
    for (int i = 0; i < count; ++i) {
        texts.push_back(cwsynth::randomBeacon(random));
    }
    // Too short for a beacon: noise alone, which still measures the cost of listening.
    cwsynth::Signal signal = texts.empty() ? cwsynth::Signal(p, seconds) : cwsynth::Signal(p, texts);
    const std::vector<float> samples = signal.renderAll();
    const std::vector<qint64> ends = texts.empty() ? std::vector<qint64> {} : beaconEnds(p, texts);
    constexpr std::size_t block = 1024; // samples a datagram, as gqrx sends
    const std::vector<double> holdsMs = decoderHoldMs(samples, rate, texts, ends, block);

    Form1 form;
    form.show();
    Receiver* receiver = form.receiverWindow();
    receiver->show();
    auto* text3 = form.findChild<QPlainTextEdit*>(u"Text3"_s);

    // When each beacon's last mark left the sender, and when its report showed.
    QElapsedTimer clock;
    clock.start();
    std::vector<std::atomic<qint64>> sentAt(ends.size());
    std::vector<double> latenciesMs;
    std::size_t reported = 0;
    QObject::connect(text3, &QPlainTextEdit::textChanged, [&] {
        if (reported < ends.size() && sentAt[reported] > 0) {
            latenciesMs.push_back(double(clock.nsecsElapsed() - sentAt[reported]) / 1e6);
        }
        ++reported;
    });

    // The GUI thread's longest stretch away from its event loop, seen by a 2 ms timer.
    qint64 lastTick = 0;
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick > 0) {
            longestGapNs = std::max(longestGapNs, now - lastTick);
        }
        lastTick = now;
    });

    std::atomic<double> senderCpu { 0.0 };
    QThread* sender = QThread::create([&] {
        QUdpSocket socket;
        std::vector<char> datagram(block * 2);
        std::size_t endIndex = 0;
        const qint64 t0 = clock.nsecsElapsed();
        for (std::size_t at = 0; at < samples.size(); at += block) {
            const std::size_t n = std::min(block, samples.size() - at);
            for (std::size_t i = 0; i < n; ++i) {
                const auto v = qint16(std::lround(std::clamp(samples[at + i], -1.0F, 0.99997F) * 32768.0F));
                datagram[2 * i] = char(v & 0xff);
                datagram[2 * i + 1] = char((v >> 8) & 0xff);
            }
            const qint64 due = t0 + qint64(double(at + n) / rate * 1e9);
            const qint64 wait = due - clock.nsecsElapsed();
            if (wait > 0) {
                QThread::usleep(unsigned(wait / 1000));
            }
            socket.writeDatagram(datagram.data(), 2 * qint64(n), QHostAddress::LocalHost, port);
            while (endIndex < ends.size() && ends[endIndex] <= qint64(at) + qint64(n)) {
                sentAt[endIndex++] = clock.nsecsElapsed();
            }
        }
        timespec cpu {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        senderCpu = double(cpu.tv_sec) + double(cpu.tv_nsec) * 1e-9;
    });

    const auto kickOff = [&] {
        receiver->listen(
            [] {
                return std::make_unique<audiostream::UdpSource>(
                    QHostAddress(QHostAddress::LocalHost), port, rate);
            },
            u"udp"_s);
        QTimer::singleShot(500, [&] {
            if (gapProbe) {
                ticker.start(2);
            }
            static_cast<TimedApplication*>(qApp)->startTiming();
            sender->start();
        });
    };
    QTimer::singleShot(200, kickOff);
    // From here on: the signal's synthesis and the decoder-alone run above are not the window's.
    const double cpu0 = processCpuSeconds();
    const double gui0 = threadCpuNow();
    const qint64 wall0 = clock.nsecsElapsed();
    double wall = 0.0;
    double decoding = 0.0;
    double gui = 0.0;
    double all = 0.0;
    // Measured before quitting: quit() closes the windows, and the Receiver stops with them.
    QObject::connect(sender, &QThread::finished, [&] {
        QTimer::singleShot(3000, qApp, [&] {
            wall = double(clock.nsecsElapsed() - wall0) / 1e9;
            decoding = threadCpuSeconds("live decoding");
            gui = threadCpuNow() - gui0;
            all = processCpuSeconds() - cpu0 - senderCpu;
            QCoreApplication::quit();
        });
    });
    QApplication::exec();
    sender->wait();
    delete sender;

    std::printf("live UDP at 48 kHz, %.0f s of audio, %zu beacons sent, %zu reports in Text3\n",
        double(samples.size()) / rate, ends.size(), reported);
    std::printf(
        "CPU share of one core: decoding thread %.2f %%, GUI thread %.2f %%, process less sender %.2f %%\n",
        100.0 * decoding / wall, 100.0 * gui / wall, 100.0 * all / wall);
    std::printf("beacon's last mark sent to report in Text3: median %.0f ms, max %.0f ms\n",
        median(latenciesMs),
        latenciesMs.empty() ? 0.0 : *std::max_element(latenciesMs.begin(), latenciesMs.end()));
    std::printf("of which the decoder alone (same samples and blocks, no thread or window): median %.0f ms; "
                "the rest is the stream, the thread hand-over and the window\n",
        median(holdsMs));
    std::printf(
        "longest event handled by the GUI thread (its CPU time) while the waterfall runs: %.1f ms (%s)\n",
        static_cast<TimedApplication*>(qApp)->longestSeconds() * 1e3,
        static_cast<TimedApplication*>(qApp)->longestWhat().constData());
    if (gapProbe) {
        std::printf(
            "longest gap of a 2 ms timer in the GUI thread (wall time, includes other programs): %.1f ms\n",
            double(longestGapNs) / 1e6);
    }
    return 0;
}

int recording(const QString& path, int runs)
{
    Form1 form;
    form.show();
    Receiver* receiver = form.receiverWindow();
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int run = 0; run < runs; ++run) {
        const double cpu0 = processCpuSeconds();
        QElapsedTimer timer;
        QEventLoop loop;
        QObject::connect(receiver, &Receiver::idle, &loop, &QEventLoop::quit);
        timer.start();
        form.openRecording(path);
        loop.exec();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
        cpuTimes.push_back(processCpuSeconds() - cpu0);
        std::fprintf(stderr, "run %d: %.2f s wall, %.2f s CPU, %s\n", run + 1, times.back(), cpuTimes.back(),
            qPrintable(receiver->message()));
    }
    std::printf("Open Recording %s: median of %d runs %.2f s wall, %.2f s CPU (user + system)\n",
        qPrintable(path), runs, median(times), median(cpuTimes));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    TimedApplication app(argc, argv);
    // The Receiver's remembered settings stay out of the user's.
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = QApplication::arguments();
    if (args.size() >= 3 && args.at(1) == u"--live") {
        return live(args.at(2).toDouble(), args.size() >= 4 && args.at(3) == u"--gap-probe");
    }
    if (args.size() >= 3 && args.at(1) == u"--recording") {
        const int runs = args.size() >= 5 && args.at(3) == u"--runs" ? args.at(4).toInt() : 3;
        return recording(args.at(2), std::max(1, runs));
    }
    std::fputs("usage: bench_receiver --live SECONDS [--gap-probe] | --recording FILE [--runs N]\n", stderr);
    return 2;
}
