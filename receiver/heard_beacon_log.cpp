// SPDX-License-Identifier: GPL-3.0-or-later
#include "heard_beacon_log.h"

#include "station_settings.h"

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
    const auto station = forwarding::StationSettings::load();
    e.callsign = station.callsign.trimmed();
    // Heard live, a beacon is shared when forwarding is on; one from a recording only when the
    // user picks it, so a test recording never goes out under the station's callsign.
    if (found.source != u"recording") {
        e.uploadState = station.newEntryUploadState();
    }
    return e;
}
