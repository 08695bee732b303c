// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"
#include "level_code.h"

#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBeaconFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void normalise_data();
    void normalise();
    void isBeacon_data();
    void isBeacon();
    void levelOf_data();
    void levelOf();
};

void TestBeaconFrame::initTestCase()
{
    // Upper-casing must not follow the user's locale: Turkish would turn i into U+0130.
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
}

void TestBeaconFrame::normalise_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << u"tarnup q8cq cg4x gg4d z"_s << u"TARNUPQ8CQCG4XGG4DZ"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("only spaces") << u"   "_s << QString();
    QTest::newRow("space inside prefix") << u" TAR NUP "_s << u"TARNUP"_s;
    QTest::newRow("tab nbsp and line break stay")
        << u"a\tb\u00a0c\r\nd\u3000e"_s << u"A\tB\u00a0C\r\nD\u3000E"_s;
    QTest::newRow("dotted i ignores locale") << u"i"_s << u"I"_s;
    QTest::newRow("dotless i") << u"\u0131"_s << u"I"_s;
    QTest::newRow("final sigma") << u"\u03c2"_s << u"\u03a3"_s;
    QTest::newRow("sharp s keeps its length") << u"stra\u00dfe"_s << u"STRA\u00dfE"_s;
    QTest::newRow("ligature keeps its length") << u"\ufb01x"_s << u"\ufb01X"_s;
    QTest::newRow("n with apostrophe keeps its length") << u"\u0149"_s << u"\u0149"_s;
    // Case is mapped per UTF-16 code unit: a surrogate pair is two units without case.
    QTest::newRow("supplementary letter keeps its case") << u"\U00010428a"_s << u"\U00010428A"_s;
    QTest::newRow("halves joined by a removed space") << QString(QChar(0xd806)) + u" "_s + QChar(0xdcdc) +
            u"a"_s << QString(QChar(0xd806)) + QChar(0xdcdc) + u"A"_s;
    QTest::newRow("lone high surrogate")
        << QString(QChar(0xd800)) + u"a"_s << QString(QChar(0xd800)) + u"A"_s;
    QTest::newRow("lone low surrogate at end") << u"b"_s + QChar(0xdc00) << u"B"_s + QChar(0xdc00);
}

void TestBeaconFrame::normalise()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString normalised = beacon::normaliseBeacon(input);
    QCOMPARE(normalised, expected);
    QCOMPARE(normalised.size(), input.size() - input.count(u' '));
    QCOMPARE(beacon::normaliseBeacon(normalised), normalised);
}

void TestBeaconFrame::isBeacon_data()
{
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<bool>("expected");

    QTest::newRow("19 with prefix") << u"TARNUPQ8CQCG4XGG4DZ"_s << true;
    QTest::newRow("data positions unchecked") << u"TARNUP#############"_s << true;
    QTest::newRow("line break at 18 and 19") << u"TARNUPQ8CQCG4XGG4\r\n"_s << true;
    QTest::newRow("18") << u"TARNUPQ8CQCG4XGG4D"_s << false;
    QTest::newRow("20") << u"TARNUPQ8CQCG4XGG4DZZ"_s << false;
    QTest::newRow("19 plus line break") << u"TARNUPQ8CQCG4XGG4DZ\r\n"_s << false;
    QTest::newRow("prefix letter changed") << u"TARNOPQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("prefix lower case") << u"tarnupQ8CQCG4XGG4DZ"_s << false;
    QTest::newRow("prefix shifted") << u"XTARNUPQ8CQCG4XGG4D"_s << false;
    QTest::newRow("prefix only") << u"TARNUP"_s << false;
    QTest::newRow("shorter than prefix") << u"TAR"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestBeaconFrame::isBeacon()
{
    QFETCH(QString, normalised);
    QFETCH(bool, expected);
    QCOMPARE(beacon::isBeacon(normalised), expected);
}

void TestBeaconFrame::levelOf_data()
{
    QTest::addColumn<QChar>("symbol");
    QTest::addColumn<int>("expected");

    QTest::newRow("D lowest") << QChar(u'D') << 0;
    QTest::newRow("2 is a digit symbol") << QChar(u'2') << 2;
    QTest::newRow("G") << QChar(u'G') << 3;
    QTest::newRow("Z highest") << QChar(u'Z') << 9;
    QTest::newRow("odd digit") << QChar(u'3') << -1;
    QTest::newRow("zero") << QChar(u'0') << -1;
    QTest::newRow("lower case") << QChar(u'd') << -1;
    QTest::newRow("other letter") << QChar(u'X') << -1;
}

void TestBeaconFrame::levelOf()
{
    QFETCH(QChar, symbol);
    QFETCH(int, expected);
    QCOMPARE(beacon::levelOf(symbol).value_or(-1), expected);
}

QTEST_GUILESS_MAIN(TestBeaconFrame)
#include "tst_beaconframe.moc"
