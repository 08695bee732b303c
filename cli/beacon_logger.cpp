// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_logger.h"

#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

// The station callsign set in the window's Station dialog.
QString stationCallsign()
{
    const QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    const QString callsign = settings.value(u"station/callsign"_s).toString().trimmed();
    return callsign.isEmpty() ? QString() : callsign;
}

} // namespace

bool BeaconLogger::open(const QString& path, QString* error)
{
    m_callsign = stationCallsign();
    return m_book.open(path, error);
}

bool BeaconLogger::logText(const Origin& origin, const QString& frame, QString* error)
{
    logbook::Entry e;
    e.utc = QDateTime::currentDateTimeUtc();
    e.beacon = frame;
    e.source = u"text"_s;
    if (origin.file() != u"-") {
        e.file = origin.file();
    }
    return append(e, error);
}

bool BeaconLogger::logAudio(
    const Origin& origin, const QString& frame, const Measurement& measured, QString* error)
{
    logbook::Entry e;
    e.utc = measured.utc;
    e.beacon = frame;
    e.source = m_liveSource.isEmpty() ? u"recording"_s : m_liveSource;
    if (m_liveSource.isEmpty()) {
        if (origin.file() != u"-") {
            e.file = origin.file();
        }
        e.offsetS = measured.time;
    }
    e.wpm = measured.wpm;
    e.toneHz = measured.toneHz;
    e.snrDb = measured.snrDb;
    if (!measured.confidence.empty()) {
        e.minConfidence = *std::ranges::min_element(measured.confidence);
    }
    return append(e, error);
}

void BeaconLogger::queueForUpload(const QString& callsign)
{
    m_queue = true;
    m_callsign = callsign;
}

bool BeaconLogger::append(logbook::Entry& e, QString* error)
{
    // Long enough for this run's own sending, short enough that a run that died is made up for soon.
    constexpr int holdSeconds = 15 * 60;
    e.callsign = m_callsign;
    if (m_queue) {
        e.uploadState = u"queued"_s;
        e.uploadNextUtc = QDateTime::currentDateTimeUtc().addSecs(holdSeconds);
    }
    const std::optional<qint64> id = m_book.append(e, error);
    if (id && m_queue) {
        m_queuedIds << *id;
    }
    return id.has_value();
}

} // namespace decodecli
