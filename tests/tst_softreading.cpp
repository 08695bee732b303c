// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_finder.h"
#include "morse_table.h"
#include "soft_beacon.h"
#include "tick_history.h"
#include "tick_likelihood.h"

#include <QTest>

#include <random>

namespace {

constexpr double dotTicks = 10.0;
constexpr double noise = 0.05; // complex variance per tick, against a key-down amplitude of 1

// Ticks of `text` keyed at `dotTicks` a unit in light noise, from tick 100 on, with the marks a
// threshold would have found. One mark may be weak, and lost to the threshold.
struct Keyed
{
    cwaudio::TickHistory ticks { 1 << 14 };
    std::vector<cwaudio::KeyedMark> marks;
    cwaudio::FoundBeacon found;
};

void key(Keyed& k, const std::string& text, int weakMark, double weakLevel, bool dropWeak)
{
    std::vector<float> level(100, 0.0f);
    int markIndex = 0;
    for (const char c : text) {
        if (c == ' ') {
            // With the character space already left: seven units.
            level.insert(level.end(), static_cast<std::size_t>(4 * dotTicks), 0.0f);
            continue;
        }
        const std::string_view code = cwaudio::morseCodeOf(c);
        for (std::size_t e = 0; e < code.size(); ++e) {
            const auto length = static_cast<std::size_t>(dotTicks * (code[e] == '-' ? 3 : 1));
            const bool weak = markIndex++ == weakMark;
            if (!(weak && dropWeak)) {
                k.marks.push_back({ static_cast<double>(level.size()), static_cast<double>(length), 0.0 });
            }
            level.insert(level.end(), length, weak ? static_cast<float>(weakLevel) : 1.0f);
            level.insert(
                level.end(), static_cast<std::size_t>(dotTicks * (e + 1 == code.size() ? 3 : 1)), 0.0f);
        }
    }
    level.insert(level.end(), 200, 0.0f);
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, static_cast<float>(std::sqrt(noise / 2)));
    const std::complex<float> phase = std::polar(1.0f, 0.7f);
    for (const float l : level) {
        k.ticks.push(l * phase + std::complex<float>(gauss(random), gauss(random)));
    }
}

} // namespace

class TestSoftReading : public QObject
{
    Q_OBJECT

private slots:
    void tickHistory();
    void markLikelihood_data();
    void markLikelihood();
    void dashOverJump_data();
    void dashOverJump();
    void sureEnough_data();
    void sureEnough();
    void reread_data();
    void reread();
};

void TestSoftReading::tickHistory()
{
    cwaudio::TickHistory history(8);
    for (int i = 1; i <= 20; ++i) {
        history.push({ static_cast<float>(i), 0.0f });
    }
    QCOMPARE(history.end(), 20);
    // The last eight ticks.
    QCOMPARE(history.begin(), 12);
    QVERIFY(history.holds(12, 20));
    QVERIFY(!history.holds(11, 20));
    QVERIFY(!history.holds(15, 21));
    // Ticks 15..19 hold the values 16..20.
    QCOMPARE(history.sum(15, 20).real(), 16.0 + 17 + 18 + 19 + 20);
    QCOMPARE(history.sum(17, 17).real(), 0.0);
}

void TestSoftReading::markLikelihood_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("offsetCells"); // where the dot placement starts, from the dot
    QTest::addColumn<bool>("likely");
    QTest::addColumn<bool>("toneLost"); // around a jump the filter may have been off the tone
    QTest::newRow("dot where it was keyed") << 1.0 << 0 << true << false;
    QTest::newRow("dot at half strength") << 0.5 << 0 << true << false;
    QTest::newRow("dot a quarter unit late") << 1.0 << 1 << true << false;
    QTest::newRow("in the space after it") << 1.0 << 6 << false << false;
    QTest::newRow("dot at a fifth of the strength") << 0.2 << 0 << false << false;
    QTest::newRow("nothing keyed") << 0.0 << 0 << false << false;
    QTest::newRow("dot, tone maybe lost") << 1.0 << 0 << true << true;
    QTest::newRow("nothing keyed, tone maybe lost") << 0.0 << 0 << false << true;
}

void TestSoftReading::markLikelihood()
{
    QFETCH(double, level);
    QFETCH(int, offsetCells);
    QFETCH(bool, likely);
    QFETCH(bool, toneLost);
    Keyed k;
    key(k, "E", 0, level, false);
    if (toneLost) {
        k.ticks.losePhase(0, k.ticks.end());
        k.ticks.loseTone(0, k.ticks.end());
    }
    // The dot is keyed at tick 100, cell 40 on a grid starting at tick 0.
    cwaudio::TickLikelihood t(k.ticks, 0.0, 80, noise, dotTicks);
    QVERIFY(t.valid());
    t.setAmplitude(0, 80, 1.0);
    t.prepare();
    const double llr = t.dotAt(40 + offsetCells, cwaudio::TickLikelihood::cellsPerUnit);
    QCOMPARE(llr > 0.0, likely);
    // Held as long as a dash, the same placement fits worse than as a dot.
    if (level > 0.0 && offsetCells == 0) {
        QVERIFY(t.dashAt(40, 3 * cwaudio::TickLikelihood::cellsPerUnit) < llr);
    }
}

void TestSoftReading::dashOverJump_data()
{
    QTest::addColumn<bool>("blurred");
    QTest::addColumn<bool>("split");
    // Three ticks quiet in the middle of a dash: the filter still on the old tone there.
    QTest::newRow("dip the filter heard: two dots") << false << true;
    QTest::newRow("dip at a jump the samples dated: one dash") << true << false;
}

void TestSoftReading::dashOverJump()
{
    QFETCH(bool, blurred);
    QFETCH(bool, split);
    cwaudio::TickHistory ticks(1 << 12);
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, static_cast<float>(std::sqrt(noise / 2)));
    for (int i = 0; i < 400; ++i) {
        const bool keyed = i >= 100 && i < 130 && (i < 111 || i >= 114);
        ticks.push((keyed ? 1.0f : 0.0f) + std::complex<float>(gauss(random), gauss(random)));
    }
    if (blurred) {
        ticks.losePhase(109, 130);
        ticks.blurTone(109, 116);
    }
    // Cells of a quarter unit from tick 0: the dash over cells 40-51, the dip in cells 44-45.
    cwaudio::TickLikelihood t(ticks, 0.0, 100, noise, dotTicks);
    QVERIFY(t.valid());
    t.setAmplitude(0, 100, 1.0);
    t.prepare();
    const double dash = t.dashAt(40, 12);
    const double dots = t.dotAt(40, 4) + t.dotAt(46, 6);
    QCOMPARE(dots > dash, split);
}

void TestSoftReading::sureEnough_data()
{
    QTest::addColumn<QList<int>>("doubtful");
    QTest::addColumn<bool>("sure");
    QTest::newRow("all clear") << QList<int> {} << true;
    QTest::newRow("one prefix letter doubtful") << QList<int> { 2 } << true;
    QTest::newRow("two prefix letters doubtful") << QList<int> { 0, 5 } << false;
    QTest::newRow("first level symbol doubtful") << QList<int> { 6 } << false;
    QTest::newRow("last character doubtful") << QList<int> { 18 } << false;
}

void TestSoftReading::sureEnough()
{
    QFETCH(QList<int>, doubtful);
    QFETCH(bool, sure);
    std::array<double, cwaudio::beaconLength> confidence {};
    confidence.fill(0.9);
    for (const int p : doubtful) {
        confidence[static_cast<std::size_t>(p)] = 0.5;
    }
    QCOMPARE(cwaudio::sureEnough(confidence, 0.8), sure);
}

void TestSoftReading::reread_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<int>("weakMark"); // index among all marks sent, or -1
    QTest::addColumn<double>("weakLevel");
    QTest::addColumn<bool>("markLost"); // the threshold missed the weak mark
    QTest::addColumn<QString>("marksSaid"); // what the marks alone would read
    QTest::addColumn<QString>("expected"); // empty: no beacon

    // TARNUP: 1+2+3+2+3+4 = 15 marks; then Z (--..) is marks 15..18.
    const QString beacon = u"TARNUPZD2GFQC48D6CG"_qs;
    QTest::newRow("clean") << beacon << -1 << 1.0 << false << beacon << beacon;
    QTest::newRow("last dot of Z too weak to key")
        << beacon << 18 << 0.6 << true << u"TARNUPGD2GFQC48D6CG"_qs << beacon;
    QTest::newRow("last dot of Z not sent") << u"TARNUPGD2GFQC48D6CG"_qs << -1 << 1.0 << false
                                            << u"TARNUPGD2GFQC48D6CG"_qs << u"TARNUPGD2GFQC48D6CG"_qs;
    // Z split into T and D: the last character is left over after the frame.
    QTest::newRow("frame taken a character early")
        << beacon << -1 << 1.0 << false << u"TARNUPTDD2GFQC48D6C"_qs << QString();
    // A frame is a whole transmission: more keying right after it means it was read out of the middle.
    QTest::newRow("a character follows at a character space")
        << u"TARNUPZD2GFQC48D6CGE"_qs << -1 << 1.0 << false << beacon << QString();
    QTest::newRow("a word follows after a word space")
        << u"TARNUPZD2GFQC48D6CG E"_qs << -1 << 1.0 << false << beacon << beacon;
    // Sent in groups, with the marks read as if the spaces were not there: still the same beacon.
    QTest::newRow("sent in groups") << u"TARNUP ZD2G FQC4 8D6C G"_qs << -1 << 1.0 << false << beacon
                                    << beacon;
    QTest::newRow("one group space missing")
        << u"TARNUP ZD2G FQC48D6C G"_qs << -1 << 1.0 << false << beacon << QString();
    QTest::newRow("word space inside a group")
        << u"TARNUPZD 2GFQC48D6CG"_qs << -1 << 1.0 << false << beacon << QString();
}

void TestSoftReading::reread()
{
    QFETCH(QString, sent);
    QFETCH(int, weakMark);
    QFETCH(double, weakLevel);
    QFETCH(bool, markLost);
    QFETCH(QString, marksSaid);
    QFETCH(QString, expected);
    Keyed k;
    key(k, sent.toStdString(), weakMark, weakLevel, markLost);
    if (markLost) {
        // The lost dot was the last of its character: the marks now split as `marksSaid`.
        QVERIFY(marksSaid != sent);
    }
    // The marks split into characters as `marksSaid` reads them.
    k.found.text = marksSaid.toStdString();
    std::size_t mark = 0;
    for (std::size_t p = 0; p < cwaudio::beaconLength; ++p) {
        k.found.boundary[p] = mark;
        mark += cwaudio::morseCodeOf(k.found.text[p]).size();
    }
    k.found.boundary[cwaudio::beaconLength] = mark;
    QVERIFY(mark <= k.marks.size());
    cwaudio::Timing timing;
    timing.dot = dotTicks;
    // A filter two ticks long puts the marks exactly where they were keyed.
    const auto soft = cwaudio::rereadBeacon(k.ticks, noise, { 2.0 }, timing, k.marks, k.found);
    QCOMPARE(soft.has_value(), !expected.isEmpty());
    if (!soft) {
        return;
    }
    QCOMPARE(QString::fromStdString(soft->text), expected);
    for (const double c : soft->confidence) {
        QVERIFY(c > 0.8);
    }
}

QTEST_GUILESS_MAIN(TestSoftReading)
#include "tst_softreading.moc"
