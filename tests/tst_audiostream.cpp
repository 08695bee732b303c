// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_source.h"
#include "generated_recording.h"
#include "live_decoder.h"
#include "recording_decoder.h"
#include "udp_source.h"

#include <QBuffer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace Qt::StringLiterals;
using audiostream::LiveDecoder;
using audiostream::RecordingDecoder;

namespace {

struct Heard
{
    QStringList texts;
    QList<double> times;
};

// Decoding a file must take seconds at most; a stream at most its length a few times over.
constexpr int fileTimeoutMs = 60000;

Heard decodeFile(const QString& path)
{
    Heard heard;
    RecordingDecoder decoder;
    QObject::connect(&decoder, &RecordingDecoder::beaconHeard, [&heard](const cwaudio::AudioBeacon& b) {
        heard.texts << b.text;
        heard.times << b.time;
    });
    QSignalSpy finished(&decoder, &RecordingDecoder::finished);
    decoder.start(path);
    if (!finished.wait(fileTimeoutMs)) {
        qWarning("the recording was not decoded in time");
    }
    return heard;
}

// A port nobody listens on now.
quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// Sends `pcm` as an SDR program does, in datagrams of 1024 samples, a few at a time so the
// receiving socket's buffer never overflows.
void sendDatagrams(const QByteArray& pcm, quint16 port)
{
    QUdpSocket sender;
    constexpr qsizetype datagram = 2048;
    for (qsizetype at = 0; at < pcm.size(); at += datagram) {
        sender.writeDatagram(pcm.mid(at, datagram), QHostAddress::LocalHost, port);
        if ((at / datagram) % 16 == 15) {
            QTest::qWait(5);
        }
    }
}

} // namespace

class TestAudioStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void streamMatchesFile_data();
    void streamMatchesFile();
    void portInUse();
    void commandLineUdp();
    void commandLinePortInUse();

private: // NOLINT(readability-redundant-access-specifiers): to moc these are no test functions
    QTemporaryDir dir;
    QString recordingPath;
    GeneratedRecording recording;
};

void TestAudioStream::initTestCase()
{
    QVERIFY(dir.isValid());
    // A tail long enough that a live decoder hears the last beacon end without being stopped.
    recording = makeRecording(12, 2, 8000, 4.0);
    recordingPath = dir.filePath(u"two.wav"_s);
    QVERIFY(writeRecording(recordingPath, recording));
}

void TestAudioStream::streamMatchesFile_data()
{
    QTest::addColumn<bool>("udp");
    QTest::newRow("QIODevice") << false;
    QTest::newRow("UDP on 127.0.0.1") << true;
}

void TestAudioStream::streamMatchesFile()
{
    QFETCH(bool, udp);
    const Heard fromFile = decodeFile(recordingPath);
    QCOMPARE(fromFile.texts, recording.sent);

    const QByteArray pcm = readS16le(recordingPath);
    QVERIFY(!pcm.isEmpty());
    const double rate = recording.rate;
    const quint16 port = freePort();
    LiveDecoder live;
    Heard fromStream;
    double secondsHeard = 0.0;
    connect(&live, &LiveDecoder::beaconHeard, this,
        [&fromStream](const cwaudio::AudioBeacon& b, const QDateTime&) {
            fromStream.texts << b.text;
            fromStream.times << b.time;
        });
    connect(&live, &LiveDecoder::statusChanged, this,
        [&secondsHeard](const cwaudio::DecoderStatus& status) { secondsHeard = status.time; });
    QSignalSpy started(&live, &LiveDecoder::started);
    QSignalSpy stopped(&live, &LiveDecoder::stopped);
    if (udp) {
        live.start([port, rate] {
            return std::make_unique<audiostream::UdpSource>(
                QHostAddress(QHostAddress::LocalHost), port, rate);
        });
        QVERIFY(started.wait(fileTimeoutMs));
        sendDatagrams(pcm, port);
        // A live stream has no end: stop once all of it has been heard.
        QTRY_VERIFY_WITH_TIMEOUT(secondsHeard >= recording.seconds() - 0.2, fileTimeoutMs);
        live.stop();
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.first().first().toString(), QString());
    } else {
        live.start([pcm, rate] {
            auto* buffer = new QBuffer;
            buffer->setData(pcm);
            buffer->open(QIODevice::ReadOnly);
            auto source = std::make_unique<audiostream::DeviceSource>(buffer, rate, u"test stream"_s);
            buffer->setParent(source.get());
            return source;
        });
        // The device's end ends the source, with a message saying so.
        QVERIFY(stopped.wait(fileTimeoutMs));
        QVERIFY2(stopped.first().first().toString().contains(u"test stream"_s),
            qPrintable(stopped.first().first().toString()));
    }
    // Beacons still queued when the source ended arrive after it.
    QTRY_COMPARE_WITH_TIMEOUT(fromStream.texts.size(), fromFile.texts.size(), 5000);
    QCOMPARE(fromStream.texts, fromFile.texts);
    for (qsizetype i = 0; i < fromFile.times.size(); ++i) {
        QVERIFY2(std::abs(fromStream.times.at(i) - fromFile.times.at(i)) < 0.01,
            qPrintable(u"%1 against %2"_s.arg(fromStream.times.at(i)).arg(fromFile.times.at(i))));
    }
}

void TestAudioStream::portInUse()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const quint16 port = holder.localPort();
    LiveDecoder live;
    QSignalSpy stopped(&live, &LiveDecoder::stopped);
    const auto udpSource = [port] {
        return std::make_unique<audiostream::UdpSource>(QHostAddress(QHostAddress::LocalHost), port, 48000.0);
    };
    live.start(udpSource);
    QVERIFY(stopped.wait(fileTimeoutMs));
    const QString message = stopped.first().first().toString();
    QVERIFY2(message.contains(QString::number(port)) && message.contains(u"in use"_s), qPrintable(message));
    QVERIFY(!live.isRunning());

    // Once the port is free, the same start works.
    holder.close();
    QSignalSpy started(&live, &LiveDecoder::started);
    live.start(udpSource);
    QVERIFY(started.wait(fileTimeoutMs));
    QVERIFY(live.isRunning());
    live.stop();
    QVERIFY(!live.isRunning());
}

void TestAudioStream::commandLineUdp()
{
    const quint16 port = freePort();
    QProcess decode;
    decode.start(QStringLiteral(TARNUP_DECODE_EXE),
        { u"--udp"_s, u"127.0.0.1:%1"_s.arg(port), u"--rate"_s, u"8000"_s, u"--format"_s, u"csv"_s });
    QVERIFY(decode.waitForStarted());
    // Accumulated: QTRY evaluates its expression once more after it held.
    QByteArray error;
    QTRY_VERIFY_WITH_TIMEOUT((error += decode.readAllStandardError()).contains("listening"), fileTimeoutMs);
    sendDatagrams(readS16le(recordingPath), port);
    // Each beacon is printed as soon as it is complete, before the program ends.
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += decode.readAllStandardOutput()).contains(recording.sent.last().toLatin1()), fileTimeoutMs);
    QVERIFY(out.contains(recording.sent.first().toLatin1()));
    decode.terminate(); // SIGTERM: a clean end
    QVERIFY(decode.waitForFinished(fileTimeoutMs));
    QCOMPARE(decode.exitStatus(), QProcess::NormalExit);
    QCOMPARE(decode.exitCode(), 0);
}

void TestAudioStream::commandLinePortInUse()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    QProcess decode;
    decode.start(QStringLiteral(TARNUP_DECODE_EXE),
        { u"--udp"_s, u"127.0.0.1:%1"_s.arg(holder.localPort()), u"--duration"_s, u"5"_s });
    QVERIFY(decode.waitForFinished(fileTimeoutMs));
    QCOMPARE(decode.exitCode(), 2);
    const QByteArray error = decode.readAllStandardError();
    QVERIFY2(error.contains(QByteArray::number(holder.localPort())) && error.contains("in use"),
        error.constData());
}

QTEST_GUILESS_MAIN(TestAudioStream)
#include "tst_audiostream.moc"
