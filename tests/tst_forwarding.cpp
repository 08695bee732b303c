// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarder.h"
#include "logbook.h"
#include "logbook_queue.h"
#include "maidenhead.h"
#include "retry_delay.h"
#include "sids_endpoint.h"
#include "sids_report.h"
#include "station_settings.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using forwarding::StationSettings;

namespace {

using Fields = QList<QPair<QString, QString>>;

const QString beaconText = u"TARNUPQ8CQCG4XGG4DZ"_s;
// The beacon's 19 ASCII codes, written out by hand.
const QString beaconHex = u"5441524E5550513843514347345847473444"
                          "5A"_s;

StationSettings completeStation(const QUrl& url)
{
    StationSettings station;
    station.callsign = u"DL1ABC"_s;
    station.latitude = 49.73145;
    station.longitude = 8.95564;
    station.noradId = 99999;
    station.sidsUrl = url;
    station.forwardingOn = true;
    station.timeoutSeconds = 1;
    return station;
}

QDateTime receivedAt(int second)
{
    return QDateTime(QDate(2026, 12, 7), QTime(10, 21, 33, 560), Qt::UTC).addSecs(second);
}

// A beacon logged `second`s after 10:21:33.560 in `state`; its id.
qint64 logged(
    logbook::Logbook& book, int second, const QString& state = u"queued"_s, const QString& callsign = {})
{
    logbook::Entry entry;
    entry.utc = receivedAt(second);
    entry.beacon = beaconText;
    entry.source = u"typed"_s;
    entry.callsign = callsign;
    entry.uploadState = state;
    return book.append(entry, nullptr).value_or(0);
}

// A fresh logbook and the forwarder's queue over it.
struct TestLog
{
    QTemporaryDir dir;
    logbook::Logbook book;
    forwarding::LogbookQueue queue { book };

    TestLog() { book.open(dir.filePath(u"beacons.sqlite"_s), nullptr); }
    qint64 add(int second) { return logged(book, second); }
    logbook::Entry operator[](qint64 id) const
    {
        for (const logbook::Entry& e : book.entries()) {
            if (e.id == id) {
                return e;
            }
        }
        return {};
    }
};

// tarnup-decode's exit status, its standard error in `errors`; the event loop runs meanwhile, so
// that the endpoints in this process can answer.
int runDecode(const QTemporaryDir& config, const QStringList& arguments, QString* errors)
{
    QProcess decode;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, config.path()); // no saved station settings
    decode.setProcessEnvironment(environment);
    QSignalSpy finished(&decode, &QProcess::finished);
    decode.start(QStringLiteral(TARNUP_DECODE_EXE), arguments);
    if (!finished.wait(60000)) {
        return -1;
    }
    *errors = QString::fromUtf8(decode.readAllStandardError());
    return decode.exitStatus() == QProcess::NormalExit ? decode.exitCode() : -1;
}

// Runs until the forwarder has nothing more in flight.
bool finishes(forwarding::Forwarder& forwarder, QSignalSpy& idle)
{
    return !forwarder.isBusy() || idle.wait(20000);
}

} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void locatorCentre_data();
    void locatorCentre();
    void retryDelay_data();
    void retryDelay();
    void settingsRoundTrip();
    void settingsDefaults();

    void fieldsAndFormats_data();
    void fieldsAndFormats();
    void answers_data();
    void answers();
    void retryAfterServerError();
    void serverDown();
    void serverSilent();
    void noRequest_data();
    void noRequest();
    void notTwiceWhileInFlight();
    void restartWithQueuedUploads();
    void commandLine();

private: // NOLINT(readability-redundant-access-specifiers): to moc these are no test functions
    SidsEndpoint endpoint;
};

void TestForwarding::initTestCase()
{
    QVERIFY(endpoint.listen());
}

void TestForwarding::locatorCentre_data()
{
    QTest::addColumn<QString>("locator");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    // Square corners counted by hand: field 20 x 10 degrees, square 2 x 1, subsquare 5' x 2.5',
    // extended square 30" x 15".
    QTest::newRow("square") << u"JN49"_s << true << 49.5 << 9.0;
    QTest::newRow("subsquare") << u"JN49cr"_s << true << 49.7291667 << 8.2083333;
    QTest::newRow("extended square") << u"JN49cr54"_s << true << 49.7270833 << 8.2125;
    QTest::newRow("any letter case") << u"jn49CR"_s << true << 49.7291667 << 8.2083333;
    QTest::newRow("south west") << u"FF85"_s << true << -34.5 << -63.0;
    QTest::newRow("first corner") << u"AA00aa00"_s << true << -89.9979167 << -179.9958333;
    QTest::newRow("last corner") << u"RR99xx99"_s << true << 89.9979167 << 179.9958333;
    QTest::newRow("too short") << u"JN4"_s << false << 0.0 << 0.0;
    QTest::newRow("odd length") << u"JN49c"_s << false << 0.0 << 0.0;
    QTest::newRow("too long") << u"JN49cr54aa"_s << false << 0.0 << 0.0;
    QTest::newRow("field past R") << u"JS49"_s << false << 0.0 << 0.0;
    QTest::newRow("subsquare past X") << u"JN49cy"_s << false << 0.0 << 0.0;
    QTest::newRow("digits first") << u"49JN"_s << false << 0.0 << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0 << 0.0;
}

void TestForwarding::locatorCentre()
{
    QFETCH(QString, locator);
    QFETCH(bool, valid);
    const auto centre = forwarding::locatorCentre(locator);
    QCOMPARE(centre.has_value(), valid);
    if (valid) {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QVERIFY2(
            qAbs(centre->latitude - latitude) < 1e-6, qPrintable(QString::number(centre->latitude, 'f', 7)));
        QVERIFY2(qAbs(centre->longitude - longitude) < 1e-6,
            qPrintable(QString::number(centre->longitude, 'f', 7)));
    }
}

void TestForwarding::retryDelay_data()
{
    QTest::addColumn<int>("attempts");
    QTest::addColumn<int>("seconds");
    QTest::newRow("first") << 1 << 60;
    QTest::newRow("second") << 2 << 120;
    QTest::newRow("third") << 3 << 240;
    QTest::newRow("ninth") << 9 << 15360;
    QTest::newRow("tenth, capped") << 10 << 21600;
    QTest::newRow("hundredth") << 100 << 21600;
}

void TestForwarding::retryDelay()
{
    QFETCH(int, attempts);
    QFETCH(int, seconds);
    QCOMPARE(forwarding::retryDelaySeconds(attempts), seconds);
}

void TestForwarding::settingsRoundTrip()
{
    QTemporaryDir dir;
    QSettings file(dir.filePath(u"station.ini"_s), QSettings::IniFormat);
    StationSettings written = completeStation(QUrl(u"https://sids.example.org/submit"_s));
    written.longitude = -70.25;
    written.save(file);
    file.sync();
    QCOMPARE(file.value(u"station/callsign"_s).toString(), u"DL1ABC"_s);

    const StationSettings read = StationSettings::load(QSettings(file.fileName(), QSettings::IniFormat));
    QCOMPARE(read.callsign, written.callsign);
    QCOMPARE(read.latitude, written.latitude);
    QCOMPARE(read.longitude, std::optional(-70.25));
    QCOMPARE(read.noradId, std::optional(99999));
    QCOMPARE(read.sidsUrl, QUrl(u"https://sids.example.org/submit"_s));
    QCOMPARE(read.forwardingOn, true);
    QCOMPARE(read.timeoutSeconds, 1);

    StationSettings cleared = read;
    cleared.noradId.reset();
    cleared.latitude.reset();
    cleared.save(file);
    const StationSettings reread = StationSettings::load(QSettings(file.fileName(), QSettings::IniFormat));
    QVERIFY(!reread.noradId);
    QVERIFY(!reread.latitude);
}

void TestForwarding::settingsDefaults()
{
    QTemporaryDir dir;
    const StationSettings station =
        StationSettings::load(QSettings(dir.filePath(u"none.ini"_s), QSettings::IniFormat));
    QVERIFY(!station.forwardingOn);
    QVERIFY(!station.noradId);
    QVERIFY(!station.latitude);
    QCOMPARE(station.sidsUrl, QUrl(u"https://db.satnogs.org/api/telemetry/"_s));
    QCOMPARE(station.problems(),
        u"no callsign, no position (latitude and longitude), no NORAD catalogue number"_s);
}

void TestForwarding::fieldsAndFormats_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QString>("loggedBy");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QStringList>("sourceLongitudeLatitude");
    QTest::newRow("north east") << u"DL1ABC"_s << QString() << 49.73145 << 8.95564
                                << QStringList { u"DL1ABC"_s, u"8.95564E"_s, u"49.73145N"_s };
    QTest::newRow("south west, portable") << u"CE3/DL1ABC"_s << QString() << -33.45 << -70.66667
                                          << QStringList { u"CE3/DL1ABC"_s, u"70.66667W"_s, u"33.45000S"_s };
    QTest::newRow("logged under an earlier callsign")
        << u"DL1ABC"_s << u"DO1ABC"_s << 0.0 << -0.5
        << QStringList { u"DO1ABC"_s, u"0.50000W"_s, u"0.00000N"_s };
}

void TestForwarding::fieldsAndFormats()
{
    QFETCH(QString, callsign);
    QFETCH(QString, loggedBy);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QStringList, sourceLongitudeLatitude);
    const Fields fields { { u"noradID"_s, u"99999"_s }, { u"source"_s, sourceLongitudeLatitude[0] },
        { u"timestamp"_s, u"2026-12-07T10:21:34.560Z"_s }, { u"frame"_s, beaconHex },
        { u"locator"_s, u"longLat"_s }, { u"longitude"_s, sourceLongitudeLatitude[1] },
        { u"latitude"_s, sourceLongitudeLatitude[2] } };
    TestLog log;
    const qint64 id = logged(log.book, 1, u"queued"_s, loggedBy);
    StationSettings station = completeStation(endpoint.url());
    station.callsign = callsign;
    station.latitude = latitude;
    station.longitude = longitude;
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(station);
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    const qsizetype before = endpoint.requests().size();
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));

    QCOMPARE(endpoint.requests().size(), before + 1);
    const SidsEndpoint::Request& request = endpoint.requests().last();
    QCOMPARE(request.method, "POST");
    QCOMPARE(request.path, "/api/telemetry/");
    QCOMPARE(request.contentType, "application/x-www-form-urlencoded");
    QCOMPARE(request.fields, fields);
    QCOMPARE(log[id].uploadState, u"sent"_s);
}

void TestForwarding::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<QString>("message");
    QTest::newRow("201 Created") << 201 << QByteArray() << u"sent"_s << 0 << u"HTTP 201 Created"_s;
    QTest::newRow("200 OK") << 200 << QByteArray("ok") << u"sent"_s << 0 << u"HTTP 200 OK: ok"_s;
    QTest::newRow("400 with a message")
        << 400 << QByteArray("{\"frame\": [\"Invalid frame.\"]}\n") << u"failed"_s << 1
        << u"HTTP 400 Bad Request: {\"frame\": [\"Invalid frame.\"]}"_s;
    QTest::newRow("404") << 404 << QByteArray("no such page") << u"failed"_s << 1
                         << u"HTTP 404 Status: no such page"_s;
    QTest::newRow("500") << 500 << QByteArray("oops") << u"queued"_s << 1
                         << u"HTTP 500 Internal Server Error: oops"_s;
    QTest::newRow("429 Too Many Requests") << 429 << QByteArray() << u"queued"_s << 1 << u"HTTP 429 Status"_s;
}

void TestForwarding::answers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, state);
    QFETCH(int, attempts);
    QFETCH(QString, message);
    TestLog log;
    const qint64 id = log.add(1);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(completeStation(endpoint.url()));
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    QSignalSpy finished(&forwarder, &forwarding::Forwarder::uploadFinished);
    endpoint.tell({ status, body, false });
    const QDateTime before = QDateTime::currentDateTimeUtc();
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));

    const logbook::Entry row = log[id];
    QCOMPARE(row.uploadState, state);
    QCOMPARE(row.uploadAttempts, attempts);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][2].toString(), message);
    if (state == u"sent"_s) {
        QCOMPARE(row.uploadMessage, QString());
    } else {
        QCOMPARE(row.uploadMessage, message);
    }
    if (state == u"queued"_s) {
        QVERIFY(row.uploadNextUtc >= before.addSecs(59)); // stored to the millisecond
        QVERIFY(log.queue.dueUploads(QDateTime::currentDateTimeUtc()).empty());
    }
}

void TestForwarding::retryAfterServerError()
{
    TestLog log;
    const qint64 id = log.add(1);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(completeStation(endpoint.url()));
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    const qsizetype before = endpoint.requests().size();
    endpoint.tell({ 500, "busy", false });
    endpoint.tell({ 201, {}, false });

    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));
    QCOMPARE(log[id].uploadState, u"queued"_s);

    // Not due yet: nothing goes out.
    forwarder.sendDue();
    QVERIFY(!forwarder.isBusy());
    QCOMPARE(endpoint.requests().size(), before + 1);

    log.book.markRetry(id, QDateTime::currentDateTimeUtc().addSecs(-1), {}); // the back-off has passed
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));
    QCOMPARE(log[id].uploadState, u"sent"_s);
    QCOMPARE(endpoint.requests().size(), before + 2);
    QCOMPARE(endpoint.requests().last().fields, endpoint.requests()[before].fields);

    // Sent is final.
    forwarder.sendDue();
    QVERIFY(!forwarder.isBusy());
    QCOMPARE(endpoint.requests().size(), before + 2);
}

void TestForwarding::serverDown()
{
    SidsEndpoint down;
    QVERIFY(down.listen());
    const QUrl url = down.url();
    down.close();

    TestLog log;
    const qint64 first = log.add(1);
    const qint64 second = log.add(2);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(completeStation(url));
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));

    QCOMPARE(log[first].uploadState, u"queued"_s);
    QCOMPARE(log[first].uploadAttempts, 1);
    QVERIFY(log[first].uploadNextUtc > QDateTime::currentDateTimeUtc());
    QVERIFY2(log[first].uploadMessage.contains(url.toString()), qPrintable(log[first].uploadMessage));
    // The second was not tried against a server that is down, and is still due.
    QCOMPARE(log[second].uploadState, u"queued"_s);
    QCOMPARE(log[second].uploadAttempts, 0);
    QCOMPARE(log.queue.dueUploads(QDateTime::currentDateTimeUtc()).size(), std::size_t { 1 });
}

void TestForwarding::serverSilent()
{
    SidsEndpoint silent;
    QVERIFY(silent.listen());
    silent.tell({ 201, {}, true });
    TestLog log;
    const qint64 id = log.add(1);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(completeStation(silent.url()));
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));

    QCOMPARE(silent.requests().size(), 1);
    QCOMPARE(log[id].uploadState, u"queued"_s);
    QCOMPARE(log[id].uploadAttempts, 1);
    QVERIFY2(log[id].uploadMessage.startsWith(u"no answer within 1 s"_s), qPrintable(log[id].uploadMessage));
}

void TestForwarding::noRequest_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("message");
    QTest::newRow("forwarding off") << u"forwarding"_s << QString();
    QTest::newRow("no callsign") << u"callsign"_s
                                 << u"Nothing sent: the station settings have no callsign."_s;
    QTest::newRow("no position")
        << u"position"_s
        << u"Nothing sent: the station settings have no position (latitude and longitude)."_s;
    QTest::newRow("no NORAD number")
        << u"norad"_s << u"Nothing sent: the station settings have no NORAD catalogue number."_s;
    QTest::newRow("no URL") << u"url"_s
                            << u"Nothing sent: the station settings have no http(s) server URL."_s;
}

void TestForwarding::noRequest()
{
    QFETCH(QString, missing);
    QFETCH(QString, message);
    StationSettings station = completeStation(endpoint.url());
    if (missing == u"forwarding"_s) {
        station.forwardingOn = false;
    } else if (missing == u"callsign"_s) {
        station.callsign = u"  "_s;
    } else if (missing == u"position"_s) {
        station.longitude.reset();
    } else if (missing == u"norad"_s) {
        station.noradId.reset();
    } else {
        station.sidsUrl = QUrl(u"db.satnogs.org/api/telemetry/"_s);
    }
    TestLog log;
    const qint64 id = log.add(1);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(station);
    QSignalSpy cannotSend(&forwarder, &forwarding::Forwarder::cannotSend);
    const qsizetype before = endpoint.requests().size();
    forwarder.sendDue();
    QVERIFY(!forwarder.isBusy());
    QCoreApplication::processEvents();
    QCOMPARE(endpoint.requests().size(), before);
    QCOMPARE(log[id].uploadState, u"queued"_s);
    QCOMPARE(log[id].uploadAttempts, 0);
    QCOMPARE(cannotSend.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(cannotSend[0][0].toString(), message);
    }
}

void TestForwarding::notTwiceWhileInFlight()
{
    TestLog log;
    const qint64 first = log.add(1);
    const qint64 second = log.add(2);
    forwarding::Forwarder forwarder(log.queue);
    forwarder.setStation(completeStation(endpoint.url()));
    QSignalSpy idle(&forwarder, &forwarding::Forwarder::idle);
    const qsizetype before = endpoint.requests().size();
    forwarder.sendDue();
    forwarder.sendDue(); // both are still queued while their requests are out
    QVERIFY(finishes(forwarder, idle));
    forwarder.sendDue();
    QVERIFY(finishes(forwarder, idle));

    QCOMPARE(endpoint.requests().size(), before + 2);
    QCOMPARE(log[first].uploadState, u"sent"_s);
    QCOMPARE(log[second].uploadState, u"sent"_s);
}

void TestForwarding::restartWithQueuedUploads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"beacons.sqlite"_s);
    qint64 local = 0;
    {
        logbook::Logbook book;
        QVERIFY(book.open(path, nullptr));
        logged(book, 1, u"queued"_s);
        local = logged(book, 2, u"local"_s);
        logged(book, 3, u"queued"_s);
        forwarding::LogbookQueue queue(book);
        forwarding::Forwarder first(queue);
        first.setStation(completeStation(endpoint.url()));
        endpoint.tell({ 503, {}, false });
        endpoint.tell({ 503, {}, false });
        QSignalSpy idle(&first, &forwarding::Forwarder::idle);
        first.sendDue();
        QVERIFY(finishes(first, idle));
    }

    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    forwarding::LogbookQueue queue(book);
    forwarding::Forwarder second(queue);
    second.setStation(completeStation(endpoint.url()));
    QSignalSpy idle(&second, &forwarding::Forwarder::idle);
    const qsizetype before = endpoint.requests().size();
    second.sendDue(); // still backing off
    QVERIFY(!second.isBusy());
    QCOMPARE(queue.queuedUploads().size(), std::size_t { 2 });

    second.send(queue.queuedUploads()); // what --upload-pending does
    QVERIFY(finishes(second, idle));
    QCOMPARE(endpoint.requests().size(), before + 2);
    for (const logbook::Entry& entry : book.entries()) {
        QCOMPARE(entry.uploadState, entry.id == local ? u"local"_s : u"sent"_s);
        QCOMPARE(entry.uploadAttempts, entry.id == local ? 0 : 1);
    }
    second.send(queue.queuedUploads());
    QVERIFY(finishes(second, idle));
    QCOMPARE(endpoint.requests().size(), before + 2);
}

void TestForwarding::commandLine()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"beacons.sqlite"_s);
    SidsEndpoint later;
    QVERIFY(later.listen());
    later.close(); // down for now
    const QStringList station { u"--sids-url"_s, later.url().toString(), u"--callsign"_s, u"dl1abc"_s,
        u"--lat"_s, u"-33.45"_s, u"--lon"_s, u"-70.66667"_s, u"--norad"_s, u"99999"_s };
    const QStringList decode { u"-b"_s, beaconText, u"-b"_s, u"TARNUP0000000000000"_s, u"--log"_s, log };
    QString errors;

    QCOMPARE(runDecode(dir, decode + QStringList { u"--upload"_s }, &errors), 2);
    QVERIFY2(
        errors.contains(u"no callsign, no position (latitude and longitude), no NORAD catalogue number"_s),
        qPrintable(errors));
    QVERIFY(!QFile::exists(log)); // refused before anything was decoded

    QCOMPARE(runDecode(dir, decode + QStringList { u"--upload"_s } + station, &errors), 3);
    QVERIFY2(errors.contains(u"2 of 2 beacons not uploaded and still queued"_s), qPrintable(errors));

    QVERIFY(later.listen());
    const QStringList pending = QStringList { u"--upload-pending"_s, u"--log"_s, log } + station;
    QCOMPARE(runDecode(dir, pending, &errors), 0);
    QCOMPARE(later.requests().size(), 2);
    QCOMPARE(later.requests()[0].fields.value(1), qMakePair(u"source"_s, u"DL1ABC"_s));
    QCOMPARE(later.requests()[0].fields.value(3), qMakePair(u"frame"_s, beaconHex));
    QCOMPARE(later.requests()[1].fields.value(5), qMakePair(u"longitude"_s, u"70.66667W"_s));
    QCOMPARE(runDecode(dir, pending, &errors), 0);
    QCOMPARE(later.requests().size(), 2); // once each
}

QTEST_GUILESS_MAIN(TestForwarding)
#include "tst_forwarding.moc"
