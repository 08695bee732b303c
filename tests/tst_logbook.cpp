// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_start.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLogbook : public QObject
{
    Q_OBJECT

private slots:
    void startFromFileName_data();
    void startFromFileName();
    void startFromModificationTime();
    void parseStartTime_data();
    void parseStartTime();
};

void TestLogbook::startFromFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("utc"); // empty: no pattern

    QTest::newRow("gqrx audio") << u"gqrx_20261207_102133_145800000.wav"_s << u"2026-12-07T10:21:33Z"_s;
    QTest::newRow("gqrx iq") << u"gqrx_20261207_235959_145800000_1800000_fc.raw"_s
                             << u"2026-12-07T23:59:59Z"_s;
    QTest::newRow("sdr# audio") << u"SDRSharp_20261207_102133Z_145800000Hz_AF.wav"_s
                                << u"2026-12-07T10:21:33Z"_s;
    // Local time, the test runs an hour east of UTC.
    QTest::newRow("sdr++ audio, local time")
        << u"audio_145800000Hz_00-21-33_07-12-2026.wav"_s << u"2026-12-06T23:21:33Z"_s;
    QTest::newRow("satnogs") << u"satnogs_9876543_2026-12-07T10-21-33.ogg"_s << u"2026-12-07T10:21:33Z"_s;
    QTest::newRow("no pattern") << u"pass.wav"_s << QString();
    QTest::newRow("impossible date") << u"gqrx_20261332_102133_145800000.wav"_s << QString();
    QTest::newRow("sdr# without Z") << u"SDRSharp_20261207_102133_145800000Hz_AF.wav"_s << QString();
}

void TestLogbook::startFromFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, utc);
    const QDateTime start = logbook::startFromFileName(fileName);
    if (utc.isEmpty()) {
        QVERIFY(!start.isValid());
        return;
    }
    QCOMPARE(start, QDateTime::fromString(utc, Qt::ISODate));
    QCOMPARE(start.timeSpec(), Qt::UTC);
    // A folder in the path does not hide the name.
    QCOMPARE(logbook::recordingStart(u"/no/such/folder/"_s + fileName, 99.0), start);
}

void TestLogbook::startFromModificationTime()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"pass.wav"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QDateTime stopped(QDate(2026, 12, 7), QTime(10, 30, 0), Qt::UTC);
    QVERIFY(file.setFileTime(stopped, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(
        logbook::recordingStart(path, 90.5), QDateTime(QDate(2026, 12, 7), QTime(10, 28, 29, 500), Qt::UTC));
    QVERIFY(!logbook::recordingStart(dir.filePath(u"missing.wav"_s), 1.0).isValid());
}

void TestLogbook::parseStartTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("utc"); // empty: not a time

    QTest::newRow("utc") << u"2026-12-07T10:21:33Z"_s << u"2026-12-07T10:21:33.000Z"_s;
    QTest::newRow("milliseconds") << u"2026-12-07T10:21:33.250Z"_s << u"2026-12-07T10:21:33.250Z"_s;
    QTest::newRow("offset") << u"2026-12-07T12:21:33+02:00"_s << u"2026-12-07T10:21:33.000Z"_s;
    QTest::newRow("no zone is utc") << u"2026-12-07 10:21:33"_s << u"2026-12-07T10:21:33.000Z"_s;
    QTest::newRow("date only") << u"2026-12-07"_s << QString();
    QTest::newRow("words") << u"yesterday"_s << QString();
    QTest::newRow("hour 25") << u"2026-12-07T25:00:00Z"_s << QString();
}

void TestLogbook::parseStartTime()
{
    QFETCH(QString, text);
    QFETCH(QString, utc);
    const QDateTime parsed = logbook::parseStartTime(text);
    if (utc.isEmpty()) {
        QVERIFY(!parsed.isValid());
        return;
    }
    QVERIFY(parsed.isValid());
    QCOMPARE(parsed.toUTC().toString(Qt::ISODateWithMs), utc);
}

QTEST_GUILESS_MAIN(TestLogbook)
#include "tst_logbook.moc"
