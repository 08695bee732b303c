// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"
#include "output_format.h"

#include <QString>

namespace decodecli {

// Records the beacons the command line decodes in a logbook, each committed before it is written out.
class BeaconLogger
{
public:
    // False with a message when the logbook cannot be opened.
    bool open(const QString& path, QString* error);

    // A beacon read from a text log or given with --beacon, logged with the time it was decoded.
    bool logText(const Origin& origin, const QString& frame, QString* error);
    // Beacons heard live from then on come from `source` (e.g. "udp"), not a recording.
    void setLiveSource(const QString& source) { m_liveSource = source; }
    // A beacon heard in the recording `origin` names ("-": raw audio from standard input).
    bool logAudio(const Origin& origin, const QString& frame, const Measurement& measured, QString* error);

    // From now on, beacons are logged queued for uploading under `callsign`, each held back from
    // other forwarders (the window) for a while so that this run alone sends it.
    void queueForUpload(const QString& callsign);
    const QList<qint64>& queuedIds() const { return m_queuedIds; }
    logbook::Logbook& book() { return m_book; }

private:
    bool append(logbook::Entry& e, QString* error);

    logbook::Logbook m_book;
    QString m_callsign;
    bool m_queue = false;
    QList<qint64> m_queuedIds;
    QString m_liveSource;
};

} // namespace decodecli
