// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_forwarder.h"
#include "background_writer.h"
#include "form1.h"
#include "history_window.h"
#include "logbook.h"
#include "receive_menu.h"
#include "sids_endpoint.h"
#include "station_dialog.h"
#include "station_summary.h"
#include "typed_beacon_log.h"
#include "upload_commands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using forwarding::StationSettings;

namespace {

StationSettings completeStation()
{
    StationSettings station;
    station.callsign = u"DL1ABC"_s;
    station.latitude = 49.73145;
    station.longitude = -8.95564;
    station.noradId = 99999;
    station.sidsUrl = QUrl(u"https://sids.example.org/submit"_s);
    return station;
}

template<typename T>
T* child(const QWidget* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found) {
        qFatal("no child %s", qPrintable(name));
    }
    return found;
}

void typeInto(const QWidget* dialog, const QString& name, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

} // namespace

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void edits_data();
    void edits();
    void locatorFillsPosition();
    void summary_data();
    void summary();
    void menuOpensDialogAndSaves();
    void windowForwardsTypedBeacons_data();
    void windowForwardsTypedBeacons();
    void historySendsSelected();
};

void TestStation::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings(u"tarnup-decoder"_s, u"tarnup-decoder"_s).clear();
}

void TestStation::edits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<int>("norad");
    QTest::addColumn<QUrl>("url");
    const QUrl url(u"https://sids.example.org/submit"_s);
    QTest::newRow("callsign in upper case")
        << u"CallsignEdit"_s << u"ea4/dl1xyz"_s << u"EA4/DL1XYZ"_s << 49.73145 << 99999 << url;
    QTest::newRow("latitude") << u"LatitudeEdit"_s << u"-33.45"_s << u"DL1ABC"_s << -33.45 << 99999 << url;
    QTest::newRow("latitude cleared")
        << u"LatitudeEdit"_s << QString() << u"DL1ABC"_s << qQNaN() << 99999 << url;
    QTest::newRow("NORAD number") << u"NoradEdit"_s << u"61234"_s << u"DL1ABC"_s << 49.73145 << 61234 << url;
    QTest::newRow("NORAD number cleared")
        << u"NoradEdit"_s << QString() << u"DL1ABC"_s << 49.73145 << 0 << url;
    QTest::newRow("URL cleared goes back to SatNOGS DB")
        << u"UrlEdit"_s << QString() << u"DL1ABC"_s << 49.73145 << 99999
        << QUrl(u"https://db.satnogs.org/api/telemetry/"_s);
}

void TestStation::edits()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, callsign);
    QFETCH(double, latitude);
    QFETCH(int, norad);
    QFETCH(QUrl, url);
    StationDialog dialog(completeStation());
    QCOMPARE(dialog.settings().latitude, completeStation().latitude);
    typeInto(&dialog, field, typed);
    const StationSettings edited = dialog.settings();
    QCOMPARE(edited.callsign, callsign);
    QCOMPARE(edited.latitude.has_value(), !qIsNaN(latitude));
    if (edited.latitude) {
        QCOMPARE(*edited.latitude, latitude);
    }
    QCOMPARE(edited.noradId.value_or(0), norad);
    QCOMPARE(edited.sidsUrl, url);
    QCOMPARE(edited.longitude, completeStation().longitude);
    QVERIFY(!edited.forwardingOn);
}

void TestStation::locatorFillsPosition()
{
    StationDialog dialog(StationSettings {});
    typeInto(&dialog, u"LocatorEdit"_s, u"FF85"_s);
    QCOMPARE(dialog.settings().latitude, std::optional(-34.5));
    QCOMPARE(dialog.settings().longitude, std::optional(-63.0));
    QTest::keyClicks(child<QLineEdit>(&dialog, u"LocatorEdit"_s), u"aa"_s);
    // FF85aa: subsquare a-a, the south-west corner's 5' x 2.5' cell of FF85.
    QCOMPARE(child<QLineEdit>(&dialog, u"LatitudeEdit"_s)->text(), u"-34.97917"_s);
    QCOMPARE(child<QLineEdit>(&dialog, u"LongitudeEdit"_s)->text(), u"-63.95833"_s);
}

void TestStation::summary_data()
{
    QTest::addColumn<bool>("forwardingOn");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("on") << true << true
                        << QStringList { u"Forwarding is on"_s, u"https://sids.example.org/submit"_s,
                               u"NORAD 99999"_s, u"DL1ABC"_s, u"49.73145N 8.95564W"_s, u"not sent"_s };
    QTest::newRow("off") << false << true
                         << QStringList { u"Forwarding is off"_s, u"nothing is sent"_s,
                                u"https://sids.example.org/submit"_s, u"NORAD 99999"_s };
    QTest::newRow("incomplete") << true << false
                                << QStringList { u"Nothing can be sent yet"_s,
                                       u"no NORAD catalogue number"_s };
}

void TestStation::summary()
{
    QFETCH(bool, forwardingOn);
    QFETCH(bool, complete);
    QFETCH(QStringList, says);
    StationSettings station = completeStation();
    station.forwardingOn = forwardingOn;
    if (!complete) {
        station.noradId.reset();
    }
    StationDialog dialog(station);
    const QString shown = child<QLabel>(&dialog, u"SummaryLabel"_s)->text();
    QCOMPARE(shown, stationSummary(station));
    for (const QString& phrase : says) {
        QVERIFY2(shown.contains(phrase), qPrintable(phrase + u" not in "_s + shown));
    }
}

void TestStation::menuOpensDialogAndSaves()
{
    Form1 form;
    bool saved = false;
    StationDialog::addMenuEntry(receiveMenu(form), &form, [&saved] { saved = true; });
    form.show();
    child<QAction>(&form, u"MnuStation"_s)->trigger();
    auto* dialog = child<StationDialog>(&form, u"StationDialog"_s);
    QVERIFY(dialog->isVisible());
    typeInto(dialog, u"CallsignEdit"_s, u"dl1abc"_s);
    typeInto(dialog, u"NoradEdit"_s, u"61234"_s);
    child<QCheckBox>(dialog, u"ForwardingCheck"_s)->setChecked(true);
    QVERIFY(child<QLabel>(dialog, u"SummaryLabel"_s)->text().contains(u"no position"_s));
    dialog->accept();

    QVERIFY(saved);
    const StationSettings station = StationSettings::load();
    QCOMPARE(station.callsign, u"DL1ABC"_s);
    QCOMPARE(station.noradId, std::optional(61234));
    QVERIFY(station.forwardingOn);
    QVERIFY(!station.latitude);
}

void TestStation::windowForwardsTypedBeacons_data()
{
    QTest::addColumn<bool>("forwardingOn");
    QTest::addColumn<QString>("state");
    QTest::newRow("forwarding on") << true << u"sent"_s;
    QTest::newRow("forwarding off") << false << u"local"_s;
}

void TestStation::windowForwardsTypedBeacons()
{
    QFETCH(bool, forwardingOn);
    QFETCH(QString, state);
    SidsEndpoint endpoint;
    QVERIFY(endpoint.listen());
    StationSettings station = completeStation();
    station.sidsUrl = endpoint.url();
    station.forwardingOn = forwardingOn;
    station.save();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"beacons.sqlite"_s);

    Form1 form;
    logbook::BackgroundWriter writer(path);
    auto* text2 = child<QPlainTextEdit>(&form, u"Text2"_s);
    TypedBeaconLog typedLog(text2, &writer);
    forwarding::BackgroundForwarder forwarder(path);
    connect(
        &writer, &logbook::BackgroundWriter::appended, &forwarder, &forwarding::BackgroundForwarder::sendDue);
    QSignalSpy appended(&writer, &logbook::BackgroundWriter::appended);
    QSignalSpy idle(&forwarder, &forwarding::BackgroundForwarder::idle);
    QSignalSpy finished(&forwarder, &forwarding::BackgroundForwarder::uploadFinished);
    form.show();
    QTest::keyClicks(text2, u"TARNUPQ8CQCG4XGG4DZ"_s);
    text2->selectAll();
    QTest::keyClicks(text2, u"TARNUP2D6DQ8Z?GGZ8D"_s); // settles the first
    QVERIFY(appended.wait(20000));

    if (forwardingOn) {
        QVERIFY(!finished.isEmpty() || finished.wait(20000));
    } else {
        // Idle after a round asked for later than the logging's own: that one is done too.
        forwarder.sendDue();
        idle.clear();
        QVERIFY(idle.wait(20000));
    }
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    const std::vector<logbook::Entry> entries = book.entries();
    QCOMPARE(entries.size(), std::size_t { 1 });
    QCOMPARE(entries[0].uploadState, state);
    QCOMPARE(endpoint.requests().size(), forwardingOn ? 1 : 0);
    if (forwardingOn) {
        QCOMPARE(endpoint.requests()[0].fields.value(3),
            qMakePair(u"frame"_s,
                u"5441524E5550513843514347345847473444"
                "5A"_s));
    }
}

void TestStation::historySendsSelected()
{
    SidsEndpoint endpoint;
    QVERIFY(endpoint.listen());
    StationSettings station = completeStation();
    station.sidsUrl = endpoint.url();
    station.forwardingOn = false; // the user's choice alone sends
    station.save();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"beacons.sqlite"_s);
    {
        logbook::Logbook book;
        QVERIFY(book.open(path, nullptr));
        for (const QString& state : { u"local"_s, u"failed"_s, u"local"_s }) {
            logbook::Entry entry;
            entry.utc = QDateTime::currentDateTimeUtc();
            entry.beacon = u"TARNUPQ8CQCG4XGG4DZ"_s;
            entry.source = u"typed"_s;
            entry.uploadState = state;
            entry.uploadAttempts = state == u"failed"_s ? 1 : 0;
            QVERIFY(book.append(entry, nullptr));
        }
    }
    forwarding::BackgroundForwarder forwarder(path);
    HistoryWindow window(path);
    QSignalSpy shown(&window, &HistoryWindow::shown);
    QAction* send = addSendCommand(&window, &forwarder);
    window.show();
    QVERIFY(shown.wait(20000));
    auto* table = child<QTableView>(&window, u"HistoryTable"_s);
    int uploadColumn = -1;
    for (int column = 0; column < table->model()->columnCount(); ++column) {
        if (table->model()->headerData(column, Qt::Horizontal) == u"Upload"_s) {
            uploadColumn = column;
        }
    }
    QVERIFY(uploadColumn >= 0);
    const auto states = [&] {
        QStringList shownStates;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            shownStates << table->model()->index(row, uploadColumn).data().toString();
        }
        return shownStates;
    };
    QCOMPARE(states(), (QStringList { u"local"_s, u"failed, 1 failed try"_s, u"local"_s }));

    table->selectRow(0);
    table->selectionModel()->select(
        table->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    send->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(
        states(), (QStringList { u"sent"_s, u"sent, 1 failed try"_s, u"local"_s }), 20000);
    QCOMPARE(endpoint.requests().size(), 2);
    QCOMPARE(table->selectionModel()->selectedRows().size(), 2); // kept through the update
}

QTEST_MAIN(TestStation)
#include "tst_station.moc"
