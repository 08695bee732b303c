// SPDX-License-Identifier: GPL-3.0-or-later
#include "sids_report.h"

#include <QUrl>

#include <utility>

using namespace Qt::StringLiterals;

namespace forwarding {

namespace {

// Five decimals are about a metre, finer than anyone's antenna position matters.
QString hemisphereDegrees(double degrees, QChar positive, QChar negative)
{
    return QString::number(qAbs(degrees), 'f', 5) + (degrees < 0 ? negative : positive);
}

} // namespace

QString sidsLongitude(double degrees)
{
    return hemisphereDegrees(degrees, u'E', u'W');
}

QString sidsLatitude(double degrees)
{
    return hemisphereDegrees(degrees, u'N', u'S');
}

QString sidsTimestamp(const QDateTime& time)
{
    return time.toUTC().toString(u"yyyy-MM-ddTHH:mm:ss.zzz"_s) + u'Z';
}

QByteArray sidsFormBody(const StationSettings& station, const SidsReport& report)
{
    const std::pair<const char*, QString> fields[] = {
        { "noradID", QString::number(station.noradId.value_or(0)) },
        { "source", report.callsign.isEmpty() ? station.callsign.trimmed() : report.callsign },
        { "timestamp", sidsTimestamp(report.utc) },
        { "frame", QString::fromLatin1(report.beacon.toUtf8().toHex().toUpper()) },
        { "locator", u"longLat"_s },
        { "longitude", sidsLongitude(station.longitude.value_or(0)) },
        { "latitude", sidsLatitude(station.latitude.value_or(0)) },
    };
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty()) {
            body += '&';
        }
        body += name;
        body += '=';
        body += QUrl::toPercentEncoding(value);
    }
    return body;
}

} // namespace forwarding
