// SPDX-License-Identifier: GPL-3.0-or-later
#include "cw_synth.h"
#include "logbook.h"
#include "recording_start.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <csignal>

using namespace Qt::StringLiterals;

class TestLogbook : public QObject
{
    Q_OBJECT

private slots:
    void schemaFromEmptyFile();
    void roundTrip();
    void refusesForeignFiles_data();
    void refusesForeignFiles();
    void filter_data();
    void filter();
    void removeAndUploads();
    void dataVersionSeesOtherWriters();
    void killedWriterLosesNothing();
    void twoWritersAtOnce();
    void commandLineLogsRecording();
    void commandLineLogsText();
    void startFromFileName_data();
    void startFromFileName();
    void startFromModificationTime();
    void parseStartTime_data();
    void parseStartTime();
};

namespace {

// A plain connection of the test's own, to look at the file without the code under test.
class RawDatabase
{
public:
    explicit RawDatabase(const QString& path)
        : m_name(u"raw-%1"_s.arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDatabase() { QSqlDatabase::removeDatabase(m_name); }

    QVariantList column(const QString& sql, int index = 0) const
    {
        QVariantList values;
        QSqlQuery query(QSqlDatabase::database(m_name));
        if (query.exec(sql)) {
            while (query.next()) {
                values << query.value(index);
            }
        }
        return values;
    }
    QVariant value(const QString& sql) const
    {
        const QVariantList values = column(sql);
        return values.isEmpty() ? QVariant() : values.first();
    }
    bool exec(const QString& sql) const { return QSqlQuery(QSqlDatabase::database(m_name)).exec(sql); }

private:
    static inline int s_count = 0;
    QString m_name;
};

logbook::Entry heard(const QString& utc, const QString& source)
{
    logbook::Entry e;
    e.utc = QDateTime::fromString(utc, Qt::ISODateWithMs);
    e.beacon = u"TARNUP2D6DQ8Z?GGZ8D"_s;
    e.source = source;
    return e;
}

} // namespace

void TestLogbook::schemaFromEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"beacons.sqlite"_s);
    QFile empty(path);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    {
        logbook::Logbook book;
        QString error;
        QVERIFY2(book.open(path, &error), qPrintable(error));
    }
    RawDatabase raw(path);
    QCOMPARE(raw.value(u"PRAGMA user_version"_s).toInt(), 1);
    QCOMPARE(raw.value(u"PRAGMA journal_mode"_s).toString(), u"wal"_s);
    const QStringList expected { u"id INTEGER"_s, u"utc TEXT"_s, u"beacon TEXT"_s, u"source TEXT"_s,
        u"file TEXT"_s, u"offset_s REAL"_s, u"wpm REAL"_s, u"tone_hz REAL"_s, u"snr_db REAL"_s,
        u"min_confidence REAL"_s, u"callsign TEXT"_s, u"upload_state TEXT"_s, u"upload_attempts INTEGER"_s,
        u"upload_next_utc TEXT"_s, u"upload_message TEXT"_s };
    const QVariantList names = raw.column(u"PRAGMA table_info(beacons)"_s, 1);
    const QVariantList types = raw.column(u"PRAGMA table_info(beacons)"_s, 2);
    QStringList columns;
    for (qsizetype i = 0; i < names.size(); ++i) {
        columns << names.at(i).toString() + u' ' + types.at(i).toString();
    }
    QCOMPARE(columns, expected);
    // Opening again keeps what is there.
    QVERIFY(raw.exec(
        u"INSERT INTO beacons (utc, beacon, source) VALUES ('2026-12-07T10:00:00.000Z', 'X', 'text')"_s));
    logbook::Logbook again;
    QVERIFY(again.open(path, nullptr));
    QCOMPARE(again.entries().size(), std::size_t { 1 });
    QCOMPARE(again.entries().front().uploadState, u"local"_s);
}

void TestLogbook::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"new/folder/beacons.sqlite"_s);
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    logbook::Entry audio = heard(u"2026-12-07T10:21:33.560Z"_s, u"recording"_s);
    audio.file = u"pass, one.wav"_s;
    audio.offsetS = 12.25;
    audio.wpm = 18.5;
    audio.toneHz = 812.0;
    audio.snrDb = -3.5;
    audio.minConfidence = 0.625;
    audio.callsign = u"DL0XYZ"_s;
    const logbook::Entry typed = heard(u"2026-12-07T09:00:00.001Z"_s, u"typed"_s);
    QString error;
    const auto audioId = book.append(audio, &error);
    QVERIFY2(audioId, qPrintable(error));
    const auto typedId = book.append(typed, &error);
    QVERIFY(typedId && *typedId != *audioId);

    const std::vector<logbook::Entry> all = book.entries();
    QCOMPARE(all.size(), std::size_t { 2 });
    const logbook::Entry& first = all.at(0); // oldest first
    QCOMPARE(first.id, *typedId);
    QVERIFY(first.file.isNull() && first.callsign.isNull());
    QVERIFY(!first.offsetS && !first.wpm && !first.toneHz && !first.snrDb && !first.minConfidence);
    const logbook::Entry& second = all.at(1);
    QCOMPARE(second.utc, audio.utc);
    QCOMPARE(second.beacon, audio.beacon);
    QCOMPARE(second.file, audio.file);
    QCOMPARE(second.offsetS, audio.offsetS);
    QCOMPARE(second.wpm, audio.wpm);
    QCOMPARE(second.toneHz, audio.toneHz);
    QCOMPARE(second.snrDb, audio.snrDb);
    QCOMPARE(second.minConfidence, audio.minConfidence);
    QCOMPARE(second.callsign, audio.callsign);

    RawDatabase raw(path);
    QCOMPARE(raw.value(u"SELECT utc FROM beacons WHERE source = 'recording'"_s).toString(),
        u"2026-12-07T10:21:33.560Z"_s);
    QVERIFY(raw.value(u"SELECT wpm FROM beacons WHERE source = 'typed'"_s).isNull());

    logbook::Entry bad = typed;
    bad.source = u"carrier pigeon"_s;
    QVERIFY(!book.append(bad, &error));
    QVERIFY(error.contains(u"carrier pigeon"_s));
}

void TestLogbook::refusesForeignFiles_data()
{
    QTest::addColumn<QString>("sql"); // run on a fresh SQLite file; empty: the file is text
    QTest::newRow("newer schema") << u"PRAGMA user_version = 2"_s;
    QTest::newRow("another program's tables") << u"CREATE TABLE songs (title TEXT)"_s;
    QTest::newRow("not a database") << QString();
}

void TestLogbook::refusesForeignFiles()
{
    QFETCH(QString, sql);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"other.sqlite"_s);
    if (sql.isEmpty()) {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(4096, 'x'));
    } else {
        RawDatabase raw(path);
        QVERIFY(raw.exec(sql));
    }
    logbook::Logbook book;
    QString error;
    QVERIFY(!book.open(path, &error));
    QVERIFY2(error.startsWith(path + u": "_s), qPrintable(error));
    QVERIFY(!book.append(heard(u"2026-12-07T10:00:00.000Z"_s, u"text"_s), nullptr));
    if (sql.startsWith(u"CREATE"_s)) {
        QCOMPARE(RawDatabase(path).value(u"SELECT count(*) FROM sqlite_schema"_s).toInt(), 1);
    }
}

void TestLogbook::filter_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QList<int>>("expected"); // indexes into the logged rows below

    QTest::newRow("everything") << QString() << QString() << QStringList {} << QList<int> { 0, 1, 2, 3 };
    QTest::newRow("from, included") << u"2026-12-07T10:00:00.000Z"_s << QString() << QStringList {}
                                    << QList<int> { 1, 2, 3 };
    QTest::newRow("to, included") << QString() << u"2026-12-07T10:00:00.000Z"_s << QStringList {}
                                  << QList<int> { 0, 1 };
    QTest::newRow("one source") << QString() << QString() << QStringList { u"typed"_s }
                                << QList<int> { 0, 3 };
    QTest::newRow("range and sources") << u"2026-12-07T09:59:59.999Z"_s << u"2026-12-08T00:00:00.000Z"_s
                                       << QStringList { u"udp"_s, u"typed"_s } << QList<int> { 1, 3 };
}

void TestLogbook::filter()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, sources);
    QFETCH(QList<int>, expected);
    QTemporaryDir dir;
    logbook::Logbook book;
    QVERIFY(book.open(dir.filePath(u"b.sqlite"_s), nullptr));
    const std::vector<logbook::Entry> logged { heard(u"2026-12-06T23:59:59.000Z"_s, u"typed"_s),
        heard(u"2026-12-07T10:00:00.000Z"_s, u"udp"_s), heard(u"2026-12-07T10:00:00.001Z"_s, u"soundcard"_s),
        heard(u"2026-12-07T23:00:00.000Z"_s, u"typed"_s) };
    QList<qint64> ids;
    for (const logbook::Entry& e : logged) {
        ids << book.append(e, nullptr).value_or(-1);
    }
    logbook::Filter f;
    f.from = QDateTime::fromString(from, Qt::ISODateWithMs);
    f.to = QDateTime::fromString(to, Qt::ISODateWithMs);
    f.sources = sources;
    QList<qint64> found;
    for (const logbook::Entry& e : book.entries(f)) {
        found << e.id;
    }
    QList<qint64> wanted;
    for (const int i : expected) {
        wanted << ids.at(i);
    }
    QCOMPARE(found, wanted);
}

void TestLogbook::removeAndUploads()
{
    QTemporaryDir dir;
    logbook::Logbook book;
    QVERIFY(book.open(dir.filePath(u"b.sqlite"_s), nullptr));
    QList<qint64> ids;
    for (int i = 0; i < 4; ++i) {
        ids << *book.append(heard(u"2026-12-07T10:00:0%1.000Z"_s.arg(i), u"soundcard"_s), nullptr);
    }
    QVERIFY(book.remove({ ids.at(0) }));
    QCOMPARE(book.entries().size(), std::size_t { 3 });

    const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
    QVERIFY(book.dueUploads(now).empty()); // logged as local
    QVERIFY(book.setUploadState({ ids.at(1), ids.at(2), ids.at(3) }, u"queued"_s));
    QVERIFY(!book.setUploadState({ ids.at(1) }, u"maybe"_s));
    QVERIFY(book.markRetry(ids.at(1), now.addSecs(60), u"503 busy"_s));
    QVERIFY(book.markFailed(ids.at(2), u"400 bad frame"_s));
    std::vector<logbook::Entry> due = book.dueUploads(now);
    QCOMPARE(due.size(), std::size_t { 1 });
    QCOMPARE(due.front().id, ids.at(3));
    due = book.dueUploads(now.addSecs(60));
    QCOMPARE(due.size(), std::size_t { 2 });
    QCOMPARE(due.front().uploadAttempts, 1);
    QCOMPARE(due.front().uploadMessage, u"503 busy"_s);
    QVERIFY(book.markSent(ids.at(1)));
    const std::vector<logbook::Entry> all = book.entries();
    QCOMPARE(all.at(0).uploadState, u"sent"_s);
    QCOMPARE(all.at(1).uploadState, u"failed"_s);
    QCOMPARE(all.at(1).uploadMessage, u"400 bad frame"_s);
}

void TestLogbook::dataVersionSeesOtherWriters()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.sqlite"_s);
    logbook::Logbook reader;
    logbook::Logbook writer;
    QVERIFY(reader.open(path, nullptr) && writer.open(path, nullptr));
    const qint64 before = reader.dataVersion();
    QCOMPARE(reader.dataVersion(), before);
    QVERIFY(writer.append(heard(u"2026-12-07T10:00:00.000Z"_s, u"udp"_s), nullptr));
    const qint64 afterOther = reader.dataVersion();
    QVERIFY(afterOther != before);
    QVERIFY(reader.remove({ 1 }));
    QVERIFY(reader.dataVersion() != afterOther);
}

void TestLogbook::killedWriterLosesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.sqlite"_s);
    QProcess writer;
    writer.start(QStringLiteral(LOGBOOK_WRITER_EXE), { path, u"1000000"_s, u"soundcard"_s });
    QVERIFY(writer.waitForStarted());
    QByteArray reported;
    while (reported.count('\n') < 300 && writer.waitForReadyRead(30000)) {
        reported += writer.readAllStandardOutput();
    }
    QVERIFY2(reported.count('\n') >= 300, writer.readAllStandardError().constData());
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    reported += writer.readAllStandardOutput();
    // Only ids printed whole were reported as committed.
    const QList<QByteArray> lines = reported.left(reported.lastIndexOf('\n')).split('\n');

    RawDatabase raw(path);
    QCOMPARE(raw.value(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    QSet<qint64> stored;
    for (const QVariant& id : raw.column(u"SELECT id FROM beacons"_s)) {
        stored.insert(id.toLongLong());
    }
    for (const QByteArray& line : lines) {
        QVERIFY2(stored.contains(line.toLongLong()), line.constData());
    }
    QVERIFY(stored.size() >= lines.size());
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    QVERIFY(book.append(heard(u"2026-12-07T10:00:00.000Z"_s, u"udp"_s), nullptr));
}

void TestLogbook::twoWritersAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.sqlite"_s);
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(LOGBOOK_WRITER_EXE), { path, u"2000"_s, u"udp"_s });
    second.start(QStringLiteral(LOGBOOK_WRITER_EXE), { path, u"2000"_s, u"soundcard"_s });
    QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
    QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(first.readAllStandardOutput().count('\n'), 2000);
    QCOMPARE(second.readAllStandardOutput().count('\n'), 2000);
    RawDatabase raw(path);
    QCOMPARE(raw.value(u"SELECT count(*) FROM beacons WHERE source = 'udp'"_s).toInt(), 2000);
    QCOMPARE(raw.value(u"SELECT count(*) FROM beacons WHERE source = 'soundcard'"_s).toInt(), 2000);
    QCOMPARE(raw.value(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
}

void TestLogbook::commandLineLogsRecording()
{
    cwsynth::SignalParams p;
    p.snrDb = 15.0;
    p.seed = 11;
    std::mt19937_64 random(p.seed);
    cwsynth::Signal signal(p, { cwsynth::randomBeacon(random), cwsynth::randomBeacon(random) });
    const std::vector<float> samples = signal.renderAll();
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"pass.wav"_s);
    SF_INFO info {};
    info.samplerate = int(p.sampleRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(wav).constData(), SFM_WRITE, &info);
    QVERIFY(file);
    QCOMPARE(sf_writef_float(file, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
    sf_close(file);

    const QString path = dir.filePath(u"b.sqlite"_s);
    QProcess decoder;
    decoder.setWorkingDirectory(dir.path());
    decoder.start(QStringLiteral(TARNUP_DECODE_EXE),
        { u"--audio"_s, u"--log"_s, path, u"--start-time"_s, u"2026-12-07T11:00:00+01:00"_s, u"pass.wav"_s });
    QVERIFY(decoder.waitForFinished(60000));
    QVERIFY2(decoder.exitCode() == 0, decoder.readAllStandardError().constData());

    RawDatabase raw(path);
    const QVariantList beacons = raw.column(u"SELECT beacon FROM beacons ORDER BY id"_s);
    const QVariantList times = raw.column(u"SELECT utc FROM beacons ORDER BY id"_s);
    QCOMPARE(beacons.size(), qsizetype(signal.sent().size()));
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
    for (qsizetype i = 0; i < beacons.size(); ++i) {
        const cwsynth::SentBeacon& sent = signal.sent().at(std::size_t(i));
        QCOMPARE(beacons.at(i).toString(), QString::fromStdString(sent.text));
        const QDateTime logged = QDateTime::fromString(times.at(i).toString(), Qt::ISODateWithMs);
        const qint64 error =
            logged.toMSecsSinceEpoch() - start.addMSecs(qint64(sent.start * 1000)).toMSecsSinceEpoch();
        QVERIFY2(std::abs(error) < 50, qPrintable(times.at(i).toString()));
    }
    QCOMPARE(raw.value(u"SELECT count(*) FROM beacons WHERE source = 'recording' AND file = 'pass.wav' "
                       u"AND offset_s > 0 AND wpm > 0 AND min_confidence IS NOT NULL"_s)
                 .toInt(),
        beacons.size());
    // The first beacon after a quiet start too: its first letter, keyed while the filter moved onto
    // the tone, still gets a confidence.
    QCOMPARE(raw.value(u"SELECT count(*) FROM beacons WHERE source = 'recording' AND file = 'pass.wav' "
                       u"AND min_confidence > 0"_s)
                 .toInt(),
        beacons.size());
}

void TestLogbook::commandLineLogsText()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.sqlite"_s);
    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
    QProcess decoder;
    decoder.start(QStringLiteral(TARNUP_DECODE_EXE),
        { u"--log"_s, path, u"-b"_s, u"tarnup q8cq cg4x gg4d z"_s, u"-b"_s, u"QRZ?"_s, u"-b"_s,
            u"TARNUP2D6DQ8Z?GGZ8D"_s });
    QVERIFY(decoder.waitForFinished(60000));
    QCOMPARE(decoder.exitCode(), 1); // one text was no beacon
    const QDateTime after = QDateTime::currentDateTimeUtc().addMSecs(1);
    logbook::Logbook book;
    QVERIFY(book.open(path, nullptr));
    const std::vector<logbook::Entry> logged = book.entries();
    QCOMPARE(logged.size(), std::size_t { 2 });
    QCOMPARE(logged.at(0).beacon, u"TARNUPQ8CQCG4XGG4DZ"_s);
    QCOMPARE(logged.at(1).beacon, u"TARNUP2D6DQ8Z?GGZ8D"_s);
    for (const logbook::Entry& e : logged) {
        QCOMPARE(e.source, u"text"_s);
        QVERIFY(e.utc >= before && e.utc <= after);
        QVERIFY(!e.wpm && !e.offsetS);
    }
    // A log that cannot be written is an error, not a quiet success.
    QProcess refused;
    refused.start(
        QStringLiteral(TARNUP_DECODE_EXE), { u"--log"_s, dir.path(), u"-b"_s, u"TARNUPQ8CQCG4XGG4DZ"_s });
    QVERIFY(refused.waitForFinished(60000));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardOutput().isEmpty());
}

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
