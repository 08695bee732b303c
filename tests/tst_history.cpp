// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_table_model.h"
#include "form1.h"
#include "history_csv.h"
#include "history_window.h"
#include "logbook.h"
#include "receive_menu.h"

#include <QChartView>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>

using namespace Qt::StringLiterals;

namespace {

const QString beaconA = u"TARNUPQ8CQCG4XGG4DZ"_s; // Mission Mode, 80% .. 90%
const QString beaconB = u"TARNUP2D6DQ8Z?GGZ8D"_s; // Early Operations Mode, < 25%

logbook::Entry entry(const QString& utc, const QString& frame, const QString& source)
{
    logbook::Entry e;
    e.utc = QDateTime::fromString(utc, Qt::ISODateWithMs);
    e.beacon = frame;
    e.source = source;
    return e;
}

// RFC 4180 records, the test's own reading.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                cell += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            record << cell;
            cell.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            record << cell;
            records << record;
            record.clear();
            cell.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    return records;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void csvReadBack();
    void sorting_data();
    void sorting();
    void receiveMenuHoldsHistory();
    void windowFollowsTheLog();
};

void TestHistory::csvReadBack()
{
    logbook::Entry heard = entry(u"2026-12-07T10:21:33.560Z"_s, beaconA, u"recording"_s);
    heard.file = u"night, \"pass\".wav"_s;
    const std::vector<logbook::Entry> entries { heard,
        entry(u"2026-12-07T11:00:00.000Z"_s, beaconB, u"typed"_s) };
    const QList<QStringList> records = parseCsv(QString::fromUtf8(historyCsv(entries)));
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0),
        (QStringList { u"file"_s, u"line"_s, u"beacon"_s, u"Satellite Mode"_s, u"Battery State of Charge"_s,
            u"Battery Voltage"_s, u"Sensor Status"_s, u"Battery Temperature"_s, u"Power MCU Temperature"_s,
            u"ADCS MCU Temperature"_s, u"Solar Panel 1 Temperature"_s, u"Solar Panel 2 Temperature"_s,
            u"Solar Panel 3 Temperature"_s, u"Solar Panel 4 Temperature"_s, u"Solar Panel 5 Temperature"_s,
            u"utc"_s, u"source"_s }));
    const QStringList& first = records.at(1);
    QCOMPARE(first.size(), 17);
    QCOMPARE(first.at(0), heard.file);
    QCOMPARE(first.at(1), QString());
    QCOMPARE(first.at(2), beaconA);
    QCOMPARE(first.at(3), u"Mission Mode"_s);
    QCOMPARE(first.at(4), u"80% .. 90%"_s);
    QCOMPARE(first.at(14), u" >130°C"_s);
    QCOMPARE(first.at(15), u"2026-12-07T10:21:33.560Z"_s);
    QCOMPARE(first.at(16), u"recording"_s);
    const QStringList& second = records.at(2);
    QCOMPARE(second.at(0), QString());
    QCOMPARE(second.at(3), u"Early Operations Mode"_s);
    QCOMPARE(second.at(16), u"typed"_s);
}

void TestHistory::sorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QList<qint64>>("ids");

    // Column 0 is UTC, 7 the SNR.
    QTest::newRow("time, newest first") << 0 << Qt::DescendingOrder << QList<qint64> { 3, 1, 2 };
    QTest::newRow("snr, unmeasured first") << 7 << Qt::AscendingOrder << QList<qint64> { 2, 3, 1 };
    QTest::newRow("snr, strongest first") << 7 << Qt::DescendingOrder << QList<qint64> { 1, 3, 2 };
}

void TestHistory::sorting()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QList<qint64>, ids);
    std::vector<logbook::Entry> entries { entry(u"2026-12-07T10:00:00.000Z"_s, beaconA, u"udp"_s),
        entry(u"2026-12-07T09:00:00.000Z"_s, beaconB, u"typed"_s),
        entry(u"2026-12-07T11:00:00.000Z"_s, beaconA, u"udp"_s) };
    entries[0].id = 1;
    entries[0].snrDb = 12.0;
    entries[1].id = 2;
    entries[2].id = 3;
    entries[2].snrDb = -4.0;
    BeaconTableModel model;
    model.setEntries(entries);
    model.sort(column, order);
    QList<qint64> shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        shown << model.entry(row).id;
    }
    QCOMPARE(shown, ids);
}

void TestHistory::receiveMenuHoldsHistory()
{
    QTemporaryDir dir;
    Form1 form;
    QMenu* receive = receiveMenu(form);
    QCOMPARE(receiveMenu(form), receive);
    const QList<QAction*> bar = form.menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar.at(0)->menu()->objectName(), u"MnuFile"_s);
    QCOMPARE(bar.at(1)->menu(), receive);
    QAction* history = HistoryWindow::addMenuEntry(receive, &form, dir.filePath(u"b.sqlite"_s));
    QCOMPARE(history->shortcut(), QKeySequence(u"Ctrl+H"_s));
    history->trigger();
    history->trigger();
    QCOMPARE(form.findChildren<HistoryWindow*>().size(), 1);
    QVERIFY(form.findChild<HistoryWindow*>()->isVisible());
}

void TestHistory::windowFollowsTheLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.sqlite"_s);
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    QVERIFY(book.append(entry(u"2026-12-07T10:00:00.000Z"_s, beaconA, u"udp"_s), nullptr));
    QVERIFY(book.append(entry(u"2026-12-07T10:01:00.000Z"_s, beaconB, u"typed"_s), nullptr));

    HistoryWindow window(path);
    QSignalSpy shown(&window, &HistoryWindow::shown);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 10000);
    auto* table = window.findChild<QTableView*>(u"HistoryTable"_s);
    QCOMPARE(table->model()->rowCount(), 2);
    const QList<QAbstractSeries*> plotted =
        window.findChild<QChartView*>(u"HistoryChart"_s)->chart()->series();
    QCOMPARE(plotted.size(), 1);
    auto* series = qobject_cast<QXYSeries*>(plotted.first());
    QVERIFY(series);
    QCOMPARE(series->count(), 2);

    // Another writer's beacon shows up without asking.
    QVERIFY(book.append(entry(u"2026-12-07T10:02:00.000Z"_s, beaconA, u"soundcard"_s), nullptr));
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 3, 10000);

    window.findChild<QComboBox*>(u"SourceChoice"_s)->setCurrentText(u"typed"_s);
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 1, 10000);
    QCOMPARE(table->model()->index(0, 1).data().toString(), beaconB);

    // Deleted elsewhere: the table follows.
    window.findChild<QComboBox*>(u"SourceChoice"_s)->setCurrentIndex(0);
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 3, 10000);
    QVERIFY(book.remove({ book.entries().front().id }));
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 2, 10000);
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
