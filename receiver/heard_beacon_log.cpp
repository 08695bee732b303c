// SPDX-License-Identifier: GPL-3.0-or-later
#include "heard_beacon_log.h"

#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

logbook::Entry logEntryFor(const FoundBeacon& found)
{
    logbook::Entry e;
    e.utc = found.utc;
    e.beacon = found.heard.text;
    e.source = found.source;
    if (found.source == u"recording") {
        e.file = found.file;
        e.offsetS = found.heard.time;
    }
    e.wpm = found.heard.wpm;
    e.toneHz = found.heard.toneHz;
    e.snrDb = found.heard.snrDb;
    e.minConfidence = *std::ranges::min_element(found.heard.confidence);
    const QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    const QString callsign = settings.value(u"station/callsign"_s).toString().trimmed();
    if (!callsign.isEmpty()) {
        e.callsign = callsign;
    }
    return e;
}
