// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_table.h"
#include "level_code.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const beacon::FieldTable* tableAt(int position)
{
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        if (table.position == position) {
            return &table;
        }
    }
    return nullptr;
}

} // namespace

class TestFieldTable : public QObject
{
    Q_OBJECT

private slots:
    void decodedPositions();
    void lookup_data();
    void lookup();
    void value_data();
    void value();
    void levelRange_data();
    void levelRange();
    void textsCarryTheirLabel();
    void trailingSpaceOnlyWhereIntended();
    void degreeSignIsOneCodeUnit();
};

void TestFieldTable::decodedPositions()
{
    QList<int> positions;
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        positions.append(table.position);
    }
    QCOMPARE(positions, (QList<int> { 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19 }));
}

void TestFieldTable::lookup_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QChar>("symbol");
    QTest::addColumn<QString>("expected");

    QTest::newRow("mode D is out of range") << 7 << QChar(u'D') << u"Satellite Mode: unknown"_s;
    QTest::newRow("mode F is out of range") << 7 << QChar(u'F') << u"Satellite Mode: unknown"_s;
    QTest::newRow("mode Z is out of range") << 7 << QChar(u'Z') << u"Satellite Mode: unknown"_s;
    QTest::newRow("mode lowest") << 7 << QChar(u'2') << u"Satellite Mode: Early Operations Mode"_s;
    QTest::newRow("charge zero") << 8 << QChar(u'0') << u"Battery State of Charge: unknown"_s;
    QTest::newRow("charge highest") << 8 << QChar(u'Z') << u"Battery State of Charge: > 90%"_s;
    QTest::newRow("voltage X") << 9 << QChar(u'X') << u"Battery Voltage: unknown"_s;
    QTest::newRow("voltage highest has no space") << 9 << QChar(u'Z') << u"Battery Voltage: >8.2V"_s;
    QTest::newRow("sensors 8 is out of range") << 10 << QChar(u'8') << u"Sensor Status: unknown"_s;
    QTest::newRow("sensors Z is out of range") << 10 << QChar(u'Z') << u"Sensor Status: unknown"_s;
    QTest::newRow("sensors all off") << 10 << QChar(u'D')
                                     << u"Sensor Status: GPS off | IMU A off | IMU B off"_s;
    QTest::newRow("sensors IMU B only")
        << 10 << QChar(u'F') << u"Sensor Status: GPS off | IMU A off | IMU B on"_s;
    QTest::newRow("sensors GPS only")
        << 10 << QChar(u'4') << u"Sensor Status: GPS on | IMU A off | IMU B off"_s;
    QTest::newRow("battery temp dash") << 11 << QChar(u'-') << u"Battery Temperature: unknown"_s;
    QTest::newRow("power mcu question mark") << 12 << QChar(u'?') << u"Power MCU Temperature: unknown"_s;
    QTest::newRow("adcs fallback keeps space") << 13 << QChar(u'1') << u"ADCS MCU Temperature: unknown "_s;
    QTest::newRow("adcs highest") << 13 << QChar(u'Z') << u"ADCS MCU Temperature: > 85\u00b0C"_s;
    QTest::newRow("panel 1 fallback") << 15 << QChar(u'A') << u"Solar Panel 1 Temperature: unknown "_s;
    QTest::newRow("panel 1 highest") << 15 << QChar(u'Z') << u"Solar Panel 1 Temperature: > 130\u00b0C"_s;
    QTest::newRow("panel 2 fallback") << 16 << QChar(u'#') << u"Solar Panel 2 Temperature: unknown "_s;
    QTest::newRow("panel 3 level 6") << 17 << QChar(u'6')
                                     << u"Solar Panel 3 Temperature: 70\u00b0C .. 90\u00b0C"_s;
    QTest::newRow("panel 3 fallback") << 17 << QChar(u'X') << u"Solar Panel 3 Temperature: unknown "_s;
    QTest::newRow("panel 4 tab") << 18 << QChar(u'\t') << u"Solar Panel 4 Temperature: unknown "_s;
    QTest::newRow("panel 4 highest") << 18 << QChar(u'Z') << u"Solar Panel 4 Temperature: > 130\u00b0C"_s;
    QTest::newRow("panel 5 lowest") << 19 << QChar(u'D') << u"Solar Panel 5 Temperature: < -30\u00b0C"_s;
    QTest::newRow("panel 5 highest is odd")
        << 19 << QChar(u'Z') << u"Solar Panel 5 Temperature:  >130\u00b0C"_s;
    QTest::newRow("panel 5 line feed") << 19 << QChar(u'\n') << u"Solar Panel 5 Temperature: unknown "_s;
    QTest::newRow("lower case never matches")
        << 15 << QChar(u'q') << u"Solar Panel 1 Temperature: unknown "_s;
}

void TestFieldTable::lookup()
{
    QFETCH(int, position);
    QFETCH(QChar, symbol);
    QFETCH(QString, expected);
    const beacon::FieldTable* table = tableAt(position);
    QVERIFY(table);
    QCOMPARE(beacon::fieldText(*table, symbol).toString(), expected);
}

void TestFieldTable::value_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QChar>("symbol");
    QTest::addColumn<QString>("expected");

    QTest::newRow("mode") << 7 << QChar(u'Q') << u"Mission Mode"_s;
    QTest::newRow("voltage highest") << 9 << QChar(u'Z') << u">8.2V"_s;
    QTest::newRow("mode fallback") << 7 << QChar(u'D') << u"unknown"_s;
    QTest::newRow("adcs fallback keeps its space") << 13 << QChar(u'#') << u"unknown "_s;
    QTest::newRow("panel 5 highest keeps its leading space") << 19 << QChar(u'Z') << u" >130\u00b0C"_s;
    QTest::newRow("panel 5 fallback") << 19 << QChar(u'\r') << u"unknown "_s;
}

void TestFieldTable::value()
{
    QFETCH(int, position);
    QFETCH(QChar, symbol);
    QFETCH(QString, expected);
    const beacon::FieldTable* table = tableAt(position);
    QVERIFY(table);
    QCOMPARE(beacon::fieldValue(*table, symbol).toString(), expected);
    QCOMPARE(table->name.toString() + u": "_s + expected, beacon::fieldText(*table, symbol).toString());
}

void TestFieldTable::levelRange_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");

    QTest::newRow("satellite mode") << 7 << 2 << 8;
    QTest::newRow("sensor status") << 10 << 0 << 7;
    for (int position : { 8, 9, 11, 12, 13, 15, 16, 17, 18, 19 }) {
        QTest::addRow("position %d", position) << position << 0 << 9;
    }
}

// Every symbol of the field's range has a row of its own, in rising level order, and no
// character outside it has one.
void TestFieldTable::levelRange()
{
    QFETCH(int, position);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    const beacon::FieldTable* table = tableAt(position);
    QVERIFY(table);

    QList<int> levels;
    for (const beacon::FieldRow& row : table->rows) {
        levels.append(beacon::levelOf(QChar(row.symbol)).value_or(-1));
    }
    QList<int> expected;
    for (int level = lowest; level <= highest; ++level) {
        expected.append(level);
    }
    QCOMPARE(levels, expected);

    for (char16_t c = 0; c < 0x80; ++c) {
        const auto level = beacon::fieldLevel(*table, QChar(c));
        const bool inRange = level && *level >= lowest && *level <= highest;
        QCOMPARE(level.has_value(), inRange);
        if (!inRange) {
            QCOMPARE(beacon::fieldText(*table, QChar(c)), table->fallback);
        }
    }
}

void TestFieldTable::textsCarryTheirLabel()
{
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        const QString label = table.name.toString() + u": "_s;
        QVERIFY2(table.fallback.startsWith(label + u"unknown"_s), qPrintable(label));
        for (const beacon::FieldRow& row : table.rows) {
            QVERIFY2(row.text.startsWith(label), qPrintable(row.text.toString()));
            QVERIFY(row.text.size() > label.size());
        }
    }
}

void TestFieldTable::trailingSpaceOnlyWhereIntended()
{
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        const bool spacedFallback = table.position >= 13;
        QCOMPARE(table.fallback.endsWith(u' '), spacedFallback);
        for (const beacon::FieldRow& row : table.rows) {
            QVERIFY2(!row.text.endsWith(u' '), qPrintable(row.text.toString()));
        }
    }
}

// A source read in the wrong encoding would turn the degree sign into two code units.
void TestFieldTable::degreeSignIsOneCodeUnit()
{
    int temperatures = 0;
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        if (!table.name.endsWith(u"Temperature")) {
            continue;
        }
        for (const beacon::FieldRow& row : table.rows) {
            QVERIFY2(row.text.endsWith(u"\u00b0C"), qPrintable(row.text.toString()));
            QVERIFY(!row.text.contains(u'\u00c2'));
            ++temperatures;
        }
    }
    QCOMPARE(temperatures, 80);
}

QTEST_GUILESS_MAIN(TestFieldTable)
#include "tst_fieldtable.moc"
