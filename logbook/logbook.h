// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace logbook {

// The schema this code writes; PRAGMA user_version of a file holds the one it was made with.
inline constexpr int schemaVersion = 1;

// One logged beacon, a row of table `beacons`.
struct Entry
{
    qint64 id = 0;
    QDateTime utc; // when the beacon was sent (audio) or settled on (typed, text)
    QString beacon; // the 19 characters
    QString source; // typed | recording | soundcard | udp | text
    QString file; // recording file name, null where there is none
    std::optional<double> offsetS, wpm, toneHz, snrDb, minConfidence;
    QString callsign; // null when no station callsign was set
    QString uploadState = QStringLiteral("local"); // local | queued | sent | failed
    int uploadAttempts = 0;
    QDateTime uploadNextUtc;
    QString uploadMessage;
};

struct Filter
{
    QDateTime from, to; // both ends included; invalid = no limit
    QStringList sources; // empty = every source
    qint64 afterId = 0; // only rows with a larger id (those added since); 0 = no limit
};

// A connection to one beacon log (SQLite in WAL mode). One per thread; every write is a
// transaction of its own, committed when the call returns true.
class Logbook
{
public:
    Logbook();
    ~Logbook();
    Logbook(const Logbook&) = delete;
    Logbook& operator=(const Logbook&) = delete;

    // beacons.sqlite in the user's data folder.
    static QString defaultPath();

    // Opens `path`, creating the file and its folder or bringing an older schema up to date.
    bool open(const QString& path, QString* error);
    bool isOpen() const;
    QString path() const { return m_path; }

    // The new row's id once committed; nullopt with a message when it was not written.
    std::optional<qint64> append(const Entry& e, QString* error);
    // Oldest first.
    std::vector<Entry> entries(const Filter& f = {}) const;
    // How many entries `f` selects.
    qint64 count(const Filter& f = {}) const;
    bool remove(const QList<qint64>& ids);

    // Forwarding.
    bool setUploadState(const QList<qint64>& ids, const QString& state);
    // Queued and due (upload_next_utc <= now, or none set), oldest first.
    std::vector<Entry> dueUploads(const QDateTime& now) const;
    // upload_attempts counts the tries that failed.
    bool markSent(qint64 id);
    bool markRetry(qint64 id, const QDateTime& next, const QString& message); // attempts + 1
    bool markFailed(qint64 id, const QString& message); // attempts + 1

    // Changes whenever any connection, in this process or another, has committed a write.
    qint64 dataVersion() const;

    QString lastError() const { return m_lastError; }

private:
    // PRAGMA journal_mode=WAL, asked again while another program holds the file; `query` holds
    // the mode on success and the error otherwise.
    bool switchToWal(QSqlQuery& query);
    bool migrate(QString* error);
    // Runs `work` between BEGIN IMMEDIATE and COMMIT, rolling back when it returns false.
    template<typename Work>
    bool writeTransaction(Work&& work);
    std::vector<Entry> select(const QString& where, const QVariantList& values) const;
    static QString whereClause(const Filter& f, QVariantList& values);
    bool fail(const QString& message) const;

    QString m_connection;
    QString m_path;
    QSqlDatabase m_db;
    // Prepared once: a beacon's write is mostly these three statements.
    std::optional<QSqlQuery> m_begin, m_commit, m_insert;
    qint64 m_ownWrites = 0;
    mutable QString m_lastError;
};

// The ISO 8601 form stored in `utc`: 2026-12-07T10:21:33.560Z.
QString utcText(const QDateTime& time);

} // namespace logbook
