// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"
#include "golden_reports.h"
#include "recording_field.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString workedExample =
    QStringList {
        u"CW beacon: TARNUPQ8CQCG4XGG4DZ"_s,
        u"Satellite Mode: Mission Mode"_s,
        u"Battery State of Charge: 80% .. 90%"_s,
        u"Battery Voltage: 7.4V .. 7.6V"_s,
        u"Sensor Status: GPS on | IMU A on | IMU B on"_s,
        u"Battery Temperature: 0\u00b0C .. 5\u00b0C"_s,
        u"Power MCU Temperature: 0\u00b0C .. 15\u00b0C"_s,
        u"ADCS MCU Temperature: 15\u00b0C .. 30\u00b0C"_s,
        u"Solar Panel 1 Temperature: 10\u00b0C .. 30\u00b0C"_s,
        u"Solar Panel 2 Temperature: 10\u00b0C .. 30\u00b0C"_s,
        u"Solar Panel 3 Temperature: 30\u00b0C .. 50\u00b0C"_s,
        u"Solar Panel 4 Temperature: < -30\u00b0C"_s,
        u"Solar Panel 5 Temperature:  >130\u00b0C"_s,
    }
        .join(u"\r\n"_s);

const QString userText = u"my notes\r\nabout the pass"_s;

} // namespace

class TestDecodeReport : public QObject
{
    Q_OBJECT

private slots:
    void golden_data();
    void golden();
    void beacons_data();
    void beacons();
    void notBeacons_data();
    void notBeacons();
    void lineBreakInsideFrame();
    void sameBeaconTwice();
    void applyReplacesEverything();
    void tooLongForBeacon_data();
    void tooLongForBeacon();
};

void TestDecodeReport::golden_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    for (const GoldenReport& golden : goldenReports()) {
        QTest::newRow(qPrintable(golden.input)) << golden.input << golden.report();
    }
}

void TestDecodeReport::golden()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    RecordingField report(userText);
    beacon::decodeInput(input, report);
    QCOMPARE(report.text(), expected);
    QCOMPARE(beacon::buildReport(beacon::normaliseBeacon(input)), expected);
}

void TestDecodeReport::beacons_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << u"tarnup q8cq cg4x gg4d z"_s << workedExample;
    QTest::newRow("upper case") << u"TARNUPQ8CQCG4XGG4DZ"_s << workedExample;
    QTest::newRow("mixed case, spaces everywhere") << u"  T a RnUp Q8cQ  cG4x Gg4D z  "_s << workedExample;
    QTest::newRow("position 14 outside the alphabet")
        << u"TARNUPQ8CQCG4?GG4DZ"_s << QString(workedExample).replace(24, 1, u"?"_s);
    QTest::newRow("every field falls back")
        << u"TARNUP0000000000000"_s
        << QStringList{
               u"CW beacon: TARNUP0000000000000"_s,
               u"Satellite Mode: unknown"_s,
               u"Battery State of Charge: unknown"_s,
               u"Battery Voltage: unknown"_s,
               u"Sensor Status: unknown"_s,
               u"Battery Temperature: unknown"_s,
               u"Power MCU Temperature: unknown"_s,
               u"ADCS MCU Temperature: unknown "_s,
               u"Solar Panel 1 Temperature: unknown "_s,
               u"Solar Panel 2 Temperature: unknown "_s,
               u"Solar Panel 3 Temperature: unknown "_s,
               u"Solar Panel 4 Temperature: unknown "_s,
               u"Solar Panel 5 Temperature: unknown "_s,
           }.join(u"\r\n"_s);
    QTest::newRow("tab is a character") << u"TARNUPQ8CQCG4XGG4D\t"_s
                                        << QString(workedExample)
                                               .replace(u"TARNUPQ8CQCG4XGG4DZ"_s, u"TARNUPQ8CQCG4XGG4D\t"_s)
                                               .replace(u"Solar Panel 5 Temperature:  >130\u00b0C"_s,
                                                   u"Solar Panel 5 Temperature: unknown "_s);
}

void TestDecodeReport::beacons()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    RecordingField report(userText);
    beacon::decodeInput(input, report);
    QCOMPARE(report.text(), expected);
    QCOMPARE(report.writes, 1);
}

void TestDecodeReport::notBeacons_data()
{
    QTest::addColumn<QString>("input");

    QTest::newRow("empty") << QString();
    QTest::newRow("18 characters") << u"TARNUPQ8CQCG4XGG4D"_s;
    QTest::newRow("20 characters") << u"TARNUPQ8CQCG4XGG4DZZ"_s;
    QTest::newRow("beacon then line break") << u"TARNUPQ8CQCG4XGG4DZ\r\n"_s;
    QTest::newRow("prefix letter changed") << u"TARNOPQ8CQCG4XGG4DZ"_s;
    QTest::newRow("no-break space is not a space") << u"TARNUP\u00a0Q8CQCG4XGG4DZ"_s;
    QTest::newRow("ideographic space is not a space") << u"TARNUP\u3000Q8CQCG4XGG4DZ"_s;
    QTest::newRow("sharp s does not become two letters") << u"TARNUPQ8CQCG4XGG4\u00df"_s;
    QTest::newRow("huge paste") << u"TARNUPQ8CQCG4XGG4DZ"_s.repeated(50000);
}

void TestDecodeReport::notBeacons()
{
    QFETCH(QString, input);
    RecordingField report(userText);
    beacon::decodeInput(input, report);
    QCOMPARE(report.writes, 0);
    QCOMPARE(report.text(), userText);
}

// The prefix, eleven symbols and CR LF make 19 characters: CR and LF are decoded as
// positions 18 and 19, and the echoed frame carries the line break.
void TestDecodeReport::lineBreakInsideFrame()
{
    RecordingField report;
    beacon::decodeInput(u"tarnup q8cq cg4x gg4\r\n"_s, report);
    const QStringList lines = report.text().split(u"\r\n"_s);
    QCOMPARE(lines.size(), 14);
    QCOMPARE(lines.at(0), u"CW beacon: TARNUPQ8CQCG4XGG4"_s);
    QCOMPARE(lines.at(1), QString());
    QCOMPARE(lines.mid(2, 10), workedExample.split(u"\r\n"_s).mid(1, 10));
    QCOMPARE(lines.at(12), u"Solar Panel 4 Temperature: unknown "_s);
    QCOMPARE(lines.at(13), u"Solar Panel 5 Temperature: unknown "_s);
    QVERIFY(report.text().endsWith(u' '));
}

void TestDecodeReport::sameBeaconTwice()
{
    RecordingField report;
    beacon::decodeInput(u"TARNUPQ8CQCG4XGG4DZ"_s, report);
    beacon::decodeInput(u"TARNUPQ8CQCG4XGG4DZ"_s, report);
    QCOMPARE(report.text(), workedExample);
    QCOMPARE(report.writes, 2);
}

void TestDecodeReport::applyReplacesEverything()
{
    RecordingField report(userText);
    beacon::applyReport(report, workedExample);
    QCOMPARE(report.text(), workedExample);
    QCOMPARE(beacon::buildReport(u"TARNUPQ8CQCG4XGG4DZ"_s), workedExample);
    QCOMPARE(beacon::beaconLine(u"TARNUPQ8CQCG4XGG4DZ"), workedExample.first(workedExample.indexOf(u'\r')));
}

void TestDecodeReport::tooLongForBeacon_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tooLong");

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("19") << u"TARNUPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("20") << u"TARNUPQ8CQCG4XGG4DZZ"_s << true;
    QTest::newRow("19 and many spaces") << u"  tarnup q8cq cg4x gg4d z  "_s + QString(500, u' ') << false;
    QTest::newRow("tabs count") << u"TARNUPQ8CQCG4XGG4D\t\t"_s << true;
    QTest::newRow("surrogate pair counts twice") << u"TARNUPQ8CQCG4XGG4\U0001F600"_s << false;
    QTest::newRow("one more after a pair") << u"TARNUPQ8CQCG4XGG4\U0001F600Z"_s << true;
}

void TestDecodeReport::tooLongForBeacon()
{
    QFETCH(QString, text);
    QFETCH(bool, tooLong);
    QCOMPARE(beacon::tooLongForBeacon(text), tooLong);
    if (tooLong) {
        QVERIFY(!beacon::isBeacon(beacon::normaliseBeacon(text)));
    }
}

QTEST_GUILESS_MAIN(TestDecodeReport)
#include "tst_decodereport.moc"
