// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook.h"

#include <QAtomicInteger>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace logbook {

namespace {

// Another writer holds the lock for one short transaction at a time; waiting this long for it
// means something is badly wrong.
constexpr int busyTimeoutMs = 10000;
constexpr unsigned long retryPauseMs = 5;
// SQLITE_BUSY as QSqlError::nativeErrorCode() gives it.
const QString sqliteBusy = u"5"_s;

const QString createTable = uR"(CREATE TABLE beacons (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    utc TEXT NOT NULL,
    beacon TEXT NOT NULL,
    source TEXT NOT NULL,
    file TEXT,
    offset_s REAL,
    wpm REAL,
    tone_hz REAL,
    snr_db REAL,
    min_confidence REAL,
    callsign TEXT,
    upload_state TEXT NOT NULL DEFAULT 'local',
    upload_attempts INTEGER NOT NULL DEFAULT 0,
    upload_next_utc TEXT,
    upload_message TEXT
))"_s;

const QString columns = u"id, utc, beacon, source, file, offset_s, wpm, tone_hz, snr_db, min_confidence, "
                        u"callsign, upload_state, upload_attempts, upload_next_utc, upload_message"_s;

const QStringList sources { u"typed"_s, u"recording"_s, u"soundcard"_s, u"udp"_s, u"text"_s };
const QStringList uploadStates { u"local"_s, u"queued"_s, u"sent"_s, u"failed"_s };

QString connectionName()
{
    static QAtomicInteger<quint64> counter;
    return u"logbook-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

QVariant nullable(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

QVariant nullable(const QString& text)
{
    return text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

std::optional<double> optionalDouble(const QVariant& value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toDouble();
}

// Parses what utcText wrote without the general ISO parser, which dominates reading a large log.
QDateTime parseUtc(const QString& text)
{
    if (text.size() != 24 || text.at(23) != u'Z') {
        return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
    }
    const auto number = [&](int from, int length) { return QStringView(text).mid(from, length).toInt(); };
    return { QDate(number(0, 4), number(5, 2), number(8, 2)),
        QTime(number(11, 2), number(14, 2), number(17, 2), number(20, 3)), Qt::UTC };
}

QString placeholders(qsizetype count)
{
    QString list;
    for (qsizetype i = 0; i < count; ++i) {
        list += i == 0 ? u"?"_s : u",?"_s;
    }
    return list;
}

} // namespace

QString utcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

Logbook::Logbook()
    : m_connection(connectionName())
{
}

Logbook::~Logbook()
{
    m_begin.reset();
    m_commit.reset();
    m_insert.reset();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString Logbook::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/beacons.sqlite"_s;
}

bool Logbook::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool Logbook::open(const QString& path, QString* error)
{
    const auto failed = [&](const QString& why) {
        m_lastError = u"%1: %2"_s.arg(path, why);
        if (error) {
            *error = m_lastError;
        }
        m_db.close();
        return false;
    };
    if (m_db.isValid()) {
        return failed(u"this logbook is already open"_s);
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        return failed(u"cannot create the folder"_s);
    }
    m_path = path;
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeoutMs));
    if (!m_db.open()) {
        return failed(m_db.lastError().text());
    }
    QSqlQuery query(m_db);
    // WAL lets the window and the command-line tool write the same file while others read;
    // NORMAL syncs at checkpoints only, which loses nothing when a process dies.
    if (!switchToWal(query)) {
        return failed(query.lastError().text());
    }
    if (query.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0) {
        return failed(
            u"cannot use a write-ahead log here (journal mode %1)"_s.arg(query.value(0).toString()));
    }
    if (!query.exec(u"PRAGMA synchronous=NORMAL"_s)) {
        return failed(query.lastError().text());
    }
    QString why;
    if (!migrate(&why)) {
        return failed(why);
    }
    return true;
}

bool Logbook::switchToWal(QSqlQuery& query)
{
    // A new file turns to WAL under its exclusive lock. When another program opens it at the same
    // moment, SQLite answers busy at once instead of waiting (both hold a shared lock, so waiting
    // could deadlock), and the other program's switch is soon done: ask again until the timeout.
    const QDeadlineTimer deadline(busyTimeoutMs);
    while (!query.exec(u"PRAGMA journal_mode=WAL"_s) || !query.next()) {
        if (query.lastError().nativeErrorCode() != sqliteBusy || deadline.hasExpired()) {
            return false;
        }
        query.finish();
        QThread::msleep(retryPauseMs);
    }
    return true;
}

bool Logbook::migrate(QString* error)
{
    QSqlQuery query(m_db);
    // IMMEDIATE: two programs opening a new file at once must not both create the table.
    if (!query.exec(u"BEGIN IMMEDIATE"_s)) {
        *error = query.lastError().text();
        return false;
    }
    const auto rollback = [&](const QString& why) {
        *error = why;
        QSqlQuery(m_db).exec(u"ROLLBACK"_s);
        return false;
    };
    if (!query.exec(u"PRAGMA user_version"_s) || !query.next()) {
        return rollback(query.lastError().text());
    }
    const int version = query.value(0).toInt();
    if (version > schemaVersion) {
        return rollback(u"written by a newer version of this program (schema %1)"_s.arg(version));
    }
    if (version == 0) {
        if (!query.exec(u"SELECT count(*) FROM sqlite_schema"_s) || !query.next()) {
            return rollback(query.lastError().text());
        }
        if (query.value(0).toInt() != 0) {
            return rollback(u"not a beacon log (it holds other tables)"_s);
        }
        const QStringList steps { createTable, u"CREATE INDEX beacons_utc ON beacons (utc)"_s,
            u"CREATE INDEX beacons_upload ON beacons (upload_state, upload_next_utc)"_s,
            u"PRAGMA user_version = %1"_s.arg(schemaVersion) };
        for (const QString& step : steps) {
            if (!query.exec(step)) {
                return rollback(query.lastError().text());
            }
        }
    }
    if (!query.exec(u"COMMIT"_s)) {
        return rollback(query.lastError().text());
    }
    return true;
}

template<typename Work>
bool Logbook::writeTransaction(Work&& work)
{
    if (!isOpen()) {
        return fail(u"the logbook is not open"_s);
    }
    if (!m_begin) {
        m_begin.emplace(m_db);
        m_begin->prepare(u"BEGIN IMMEDIATE"_s);
        m_commit.emplace(m_db);
        m_commit->prepare(u"COMMIT"_s);
    }
    if (!m_begin->exec()) {
        return fail(m_begin->lastError().text());
    }
    if (!work()) {
        QSqlQuery(m_db).exec(u"ROLLBACK"_s);
        return false;
    }
    if (!m_commit->exec()) {
        const QString why = m_commit->lastError().text();
        QSqlQuery(m_db).exec(u"ROLLBACK"_s);
        return fail(why);
    }
    ++m_ownWrites;
    return true;
}

bool Logbook::fail(const QString& message) const
{
    m_lastError = message;
    return false;
}

std::optional<qint64> Logbook::append(const Entry& e, QString* error)
{
    const auto refused = [&](const QString& why) -> std::optional<qint64> {
        m_lastError = why;
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (!e.utc.isValid()) {
        return refused(u"a beacon without a time"_s);
    }
    if (e.beacon.isEmpty()) {
        return refused(u"an empty beacon"_s);
    }
    if (!sources.contains(e.source)) {
        return refused(u"unknown source '%1'"_s.arg(e.source));
    }
    if (!uploadStates.contains(e.uploadState)) {
        return refused(u"unknown upload state '%1'"_s.arg(e.uploadState));
    }
    qint64 id = 0;
    const bool written = writeTransaction([&] {
        if (!m_insert) {
            m_insert.emplace(m_db);
            m_insert->prepare(
                u"INSERT INTO beacons (utc, beacon, source, file, offset_s, wpm, tone_hz, snr_db, "
                u"min_confidence, callsign, upload_state, upload_attempts, upload_next_utc, "
                u"upload_message) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"_s);
        }
        QSqlQuery& insert = *m_insert;
        insert.bindValue(0, utcText(e.utc));
        insert.bindValue(1, e.beacon);
        insert.bindValue(2, e.source);
        insert.bindValue(3, nullable(e.file));
        insert.bindValue(4, nullable(e.offsetS));
        insert.bindValue(5, nullable(e.wpm));
        insert.bindValue(6, nullable(e.toneHz));
        insert.bindValue(7, nullable(e.snrDb));
        insert.bindValue(8, nullable(e.minConfidence));
        insert.bindValue(9, nullable(e.callsign));
        insert.bindValue(10, e.uploadState);
        insert.bindValue(11, e.uploadAttempts);
        insert.bindValue(
            12, e.uploadNextUtc.isValid() ? QVariant(utcText(e.uploadNextUtc)) : nullable(QString()));
        insert.bindValue(13, nullable(e.uploadMessage));
        if (!insert.exec()) {
            return fail(insert.lastError().text());
        }
        id = insert.lastInsertId().toLongLong();
        return true;
    });
    if (!written) {
        return refused(m_lastError);
    }
    return id;
}

std::vector<Entry> Logbook::select(const QString& where, const QVariantList& values) const
{
    std::vector<Entry> found;
    if (!isOpen()) {
        fail(u"the logbook is not open"_s);
        return found;
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(u"SELECT %1 FROM beacons %2 ORDER BY utc, id"_s.arg(columns, where));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        fail(query.lastError().text());
        return found;
    }
    while (query.next()) {
        Entry& e = found.emplace_back();
        e.id = query.value(0).toLongLong();
        e.utc = parseUtc(query.value(1).toString());
        e.beacon = query.value(2).toString();
        e.source = query.value(3).toString();
        e.file = query.value(4).isNull() ? QString() : query.value(4).toString();
        e.offsetS = optionalDouble(query.value(5));
        e.wpm = optionalDouble(query.value(6));
        e.toneHz = optionalDouble(query.value(7));
        e.snrDb = optionalDouble(query.value(8));
        e.minConfidence = optionalDouble(query.value(9));
        e.callsign = query.value(10).isNull() ? QString() : query.value(10).toString();
        e.uploadState = query.value(11).toString();
        e.uploadAttempts = query.value(12).toInt();
        if (!query.value(13).isNull()) {
            e.uploadNextUtc = parseUtc(query.value(13).toString());
        }
        e.uploadMessage = query.value(14).isNull() ? QString() : query.value(14).toString();
    }
    return found;
}

QString Logbook::whereClause(const Filter& f, QVariantList& values)
{
    QStringList conditions;
    if (f.from.isValid()) {
        conditions << u"utc >= ?"_s;
        values << utcText(f.from);
    }
    if (f.to.isValid()) {
        conditions << u"utc <= ?"_s;
        values << utcText(f.to);
    }
    if (!f.sources.isEmpty()) {
        conditions << u"source IN (%1)"_s.arg(placeholders(f.sources.size()));
        for (const QString& source : f.sources) {
            values << source;
        }
    }
    if (f.afterId > 0) {
        conditions << u"id > ?"_s;
        values << f.afterId;
    }
    return conditions.isEmpty() ? QString() : u"WHERE "_s + conditions.join(u" AND "_s);
}

std::vector<Entry> Logbook::entries(const Filter& f) const
{
    QVariantList values;
    const QString where = whereClause(f, values);
    return select(where, values);
}

qint64 Logbook::count(const Filter& f) const
{
    if (!isOpen()) {
        fail(u"the logbook is not open"_s);
        return 0;
    }
    QVariantList values;
    QSqlQuery query(m_db);
    query.prepare(u"SELECT count(*) FROM beacons "_s + whereClause(f, values));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec() || !query.next()) {
        fail(query.lastError().text());
        return 0;
    }
    return query.value(0).toLongLong();
}

bool Logbook::remove(const QList<qint64>& ids)
{
    return writeTransaction([&] {
        QSqlQuery query(m_db);
        query.prepare(u"DELETE FROM beacons WHERE id = ?"_s);
        for (const qint64 id : ids) {
            query.bindValue(0, id);
            if (!query.exec()) {
                return fail(query.lastError().text());
            }
        }
        return true;
    });
}

bool Logbook::setUploadState(const QList<qint64>& ids, const QString& state)
{
    if (!uploadStates.contains(state)) {
        return fail(u"unknown upload state '%1'"_s.arg(state));
    }
    return writeTransaction([&] {
        QSqlQuery query(m_db);
        // Queuing again starts afresh: due at once.
        query.prepare(state == u"queued"
                ? u"UPDATE beacons SET upload_state = ?, upload_next_utc = NULL WHERE id = ?"_s
                : u"UPDATE beacons SET upload_state = ? WHERE id = ?"_s);
        for (const qint64 id : ids) {
            query.bindValue(0, state);
            query.bindValue(1, id);
            if (!query.exec()) {
                return fail(query.lastError().text());
            }
        }
        return true;
    });
}

std::vector<Entry> Logbook::dueUploads(const QDateTime& now) const
{
    return select(u"WHERE upload_state = 'queued' AND (upload_next_utc IS NULL OR upload_next_utc <= ?)"_s,
        { utcText(now) });
}

bool Logbook::markSent(qint64 id)
{
    return writeTransaction([&] {
        QSqlQuery query(m_db);
        query.prepare(
            u"UPDATE beacons SET upload_state = 'sent', upload_next_utc = NULL, upload_message = NULL WHERE id = ?"_s);
        query.addBindValue(id);
        return query.exec() || fail(query.lastError().text());
    });
}

bool Logbook::markRetry(qint64 id, const QDateTime& next, const QString& message)
{
    return writeTransaction([&] {
        QSqlQuery query(m_db);
        query.prepare(u"UPDATE beacons SET upload_attempts = upload_attempts + 1, upload_next_utc = ?, "
                      u"upload_message = ? WHERE id = ?"_s);
        query.addBindValue(utcText(next));
        query.addBindValue(message);
        query.addBindValue(id);
        return query.exec() || fail(query.lastError().text());
    });
}

bool Logbook::markFailed(qint64 id, const QString& message)
{
    return writeTransaction([&] {
        QSqlQuery query(m_db);
        query.prepare(u"UPDATE beacons SET upload_state = 'failed', upload_attempts = upload_attempts + 1, "
                      u"upload_next_utc = NULL, upload_message = ? WHERE id = ?"_s);
        query.addBindValue(message);
        query.addBindValue(id);
        return query.exec() || fail(query.lastError().text());
    });
}

qint64 Logbook::dataVersion() const
{
    if (!isOpen()) {
        return 0;
    }
    QSqlQuery query(m_db);
    // data_version moves with other connections' commits only, so this one's own are added.
    if (!query.exec(u"PRAGMA data_version"_s) || !query.next()) {
        fail(query.lastError().text());
        return m_ownWrites;
    }
    return query.value(0).toLongLong() + m_ownWrites;
}

} // namespace logbook
