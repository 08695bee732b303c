// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_settings.h"

#include <QSettings>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace forwarding {

namespace {

const QString group = u"station"_s;

std::optional<double> readDouble(const QSettings& settings, const QString& key)
{
    bool ok = false;
    const double value = settings.value(key).toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

template<typename T>
void writeOptional(QSettings& settings, const QString& key, const std::optional<T>& value)
{
    if (value) {
        settings.setValue(key, *value);
    } else {
        settings.remove(key);
    }
}

} // namespace

QUrl defaultSidsUrl()
{
    return QUrl { u"https://db.satnogs.org/api/telemetry/"_s };
}

StationSettings StationSettings::load()
{
    const QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    return load(settings);
}

StationSettings StationSettings::load(const QSettings& settings)
{
    const QString prefix = group + u'/';
    StationSettings station;
    station.callsign = settings.value(prefix + u"callsign"_s).toString().trimmed();
    station.latitude = readDouble(settings, prefix + u"latitude"_s);
    station.longitude = readDouble(settings, prefix + u"longitude"_s);
    bool ok = false;
    const int norad = settings.value(prefix + u"noradId"_s).toInt(&ok);
    if (ok) {
        station.noradId = norad;
    }
    const QString url = settings.value(prefix + u"sidsUrl"_s).toString().trimmed();
    if (!url.isEmpty()) {
        station.sidsUrl = QUrl(url);
    }
    station.forwardingOn = settings.value(prefix + u"forwardingOn"_s, false).toBool();
    const int timeout = settings.value(prefix + u"timeoutSeconds"_s).toInt(&ok);
    if (ok && timeout > 0) {
        station.timeoutSeconds = timeout;
    }
    return station;
}

void StationSettings::save() const
{
    QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    save(settings);
}

void StationSettings::save(QSettings& settings) const
{
    settings.beginGroup(group);
    settings.setValue(u"callsign"_s, callsign);
    writeOptional(settings, u"latitude"_s, latitude);
    writeOptional(settings, u"longitude"_s, longitude);
    writeOptional(settings, u"noradId"_s, noradId);
    settings.setValue(u"sidsUrl"_s, sidsUrl.toString());
    settings.setValue(u"forwardingOn"_s, forwardingOn);
    settings.setValue(u"timeoutSeconds"_s, timeoutSeconds);
    settings.endGroup();
}

QString StationSettings::newEntryUploadState() const
{
    return forwardingOn ? u"queued"_s : u"local"_s;
}

QString StationSettings::problems() const
{
    QStringList found;
    if (callsign.trimmed().isEmpty()) {
        found << u"no callsign"_s;
    }
    if (!latitude || !longitude) {
        found << u"no position (latitude and longitude)"_s;
    } else if (qAbs(*latitude) > 90 || qAbs(*longitude) > 180) {
        found << u"a position outside -90..90 latitude, -180..180 longitude"_s;
    }
    if (!noradId || *noradId <= 0) {
        found << u"no NORAD catalogue number"_s;
    }
    const QString scheme = sidsUrl.scheme();
    if (!sidsUrl.isValid() || sidsUrl.host().isEmpty() || (scheme != u"http"_s && scheme != u"https"_s)) {
        found << u"no http(s) server URL"_s;
    }
    return found.join(u", "_s);
}

} // namespace forwarding
