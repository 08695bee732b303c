// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload_options.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace decodecli {

namespace {

const QString uploadName = u"upload"_s;
const QString pendingName = u"upload-pending"_s;
const QString urlName = u"sids-url"_s;
const QString callsignName = u"callsign"_s;
const QString latitudeName = u"lat"_s;
const QString longitudeName = u"lon"_s;
const QString noradName = u"norad"_s;

// The number in option `name` if it lies within +-`limit`; a message otherwise.
QString readDegrees(
    const QCommandLineParser& parser, const QString& name, double limit, std::optional<double>& out)
{
    if (!parser.isSet(name)) {
        return {};
    }
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || qAbs(value) > limit) {
        return u"--%1 '%2' is not a number of degrees from -%3 to %3"_s.arg(name, parser.value(name))
            .arg(limit);
    }
    out = value;
    return {};
}

} // namespace

void addUploadOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        { uploadName,
            u"Report every beacon this run logs (needs --log) to the SiDS server of the station settings, "
            u"e.g. SatNOGS DB. What cannot be sent stays queued in the logbook (exit status 3)."_s },
        { pendingName, u"Send what is queued in the logbook of --log, decode nothing, and exit."_s },
        { urlName, u"With --upload(-pending): the SiDS server to report to."_s, u"url"_s },
        { callsignName, u"With --upload(-pending): the station's callsign."_s, u"call"_s },
        { latitudeName, u"With --upload(-pending): the station's latitude, degrees north."_s, u"deg"_s },
        { longitudeName, u"With --upload(-pending): the station's longitude, degrees east."_s, u"deg"_s },
        { noradName, u"With --upload(-pending): the satellite's NORAD catalogue number."_s, u"n"_s },
    });
}

QString readUploadOptions(const QCommandLineParser& parser, bool logging, UploadOptions& upload)
{
    upload.logged = parser.isSet(uploadName);
    upload.pending = parser.isSet(pendingName);
    const bool overrides = parser.isSet(urlName) || parser.isSet(callsignName) ||
        parser.isSet(latitudeName) || parser.isSet(longitudeName) || parser.isSet(noradName);
    if (!upload.logged && !upload.pending) {
        return overrides
            ? u"--sids-url, --callsign, --lat, --lon and --norad go with --upload or --upload-pending"_s
            : QString();
    }
    if (upload.logged && upload.pending) {
        return u"give --upload or --upload-pending, not both"_s;
    }
    if (!logging) {
        return u"--%1 needs --log, the logbook that keeps what is sent and what is still queued"_s.arg(
            upload.logged ? uploadName : pendingName);
    }
    if (upload.pending &&
        (!parser.positionalArguments().isEmpty() || parser.isSet(u"beacon"_s) || parser.isSet(u"audio"_s))) {
        return u"--upload-pending decodes nothing: give no FILE, --beacon or --audio"_s;
    }
    if (QString error = readDegrees(parser, latitudeName, 90, upload.latitude); !error.isEmpty()) {
        return error;
    }
    if (QString error = readDegrees(parser, longitudeName, 180, upload.longitude); !error.isEmpty()) {
        return error;
    }
    if (parser.isSet(noradName)) {
        bool ok = false;
        const int norad = parser.value(noradName).toInt(&ok);
        if (!ok || norad <= 0) {
            return u"--norad '%1' is not a NORAD catalogue number"_s.arg(parser.value(noradName));
        }
        upload.noradId = norad;
    }
    upload.sidsUrl = parser.value(urlName).trimmed();
    upload.callsign = parser.value(callsignName).trimmed().toUpper();
    if (parser.isSet(callsignName) && upload.callsign.isEmpty()) {
        return u"--callsign needs the station's callsign"_s;
    }
    return {};
}

forwarding::StationSettings uploadStation(const UploadOptions& upload)
{
    forwarding::StationSettings station = forwarding::StationSettings::load();
    station.forwardingOn = true;
    if (!upload.sidsUrl.isEmpty()) {
        station.sidsUrl = QUrl(upload.sidsUrl);
    }
    if (!upload.callsign.isEmpty()) {
        station.callsign = upload.callsign;
    }
    if (upload.latitude) {
        station.latitude = upload.latitude;
    }
    if (upload.longitude) {
        station.longitude = upload.longitude;
    }
    if (upload.noradId) {
        station.noradId = upload.noradId;
    }
    return station;
}

} // namespace decodecli
