// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_summary.h"
#include "sids_report.h"

using namespace Qt::StringLiterals;

QString stationSummary(const forwarding::StationSettings& station)
{
    const QString problems = station.problems();
    const QString url = station.sidsUrl.toString().toHtmlEscaped();
    if (!problems.isEmpty()) {
        return u"<b>Nothing can be sent yet:</b> %1. Beacons are logged on this computer only."_s.arg(
            problems.toHtmlEscaped());
    }
    const QString what =
        u"NORAD %1, received by <b>%2</b> at %3 %4, with its UTC time and its 19 "
        u"characters as hex"_s.arg(QString::number(*station.noradId),
            station.callsign.trimmed().toHtmlEscaped(), forwarding::sidsLatitude(*station.latitude),
            forwarding::sidsLongitude(*station.longitude));
    if (!station.forwardingOn) {
        return u"<b>Forwarding is off:</b> nothing is sent; beacons logged now stay on this computer. "
               u"Switched on, every beacon logged from then on goes to <b>%1</b> as %2."_s.arg(url, what);
    }
    return u"<b>Forwarding is on:</b> every beacon logged from now on is sent to <b>%1</b> as %2. "
           u"Beacons logged while forwarding was off are not sent."_s.arg(url, what);
}
