// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_start.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

using namespace Qt::StringLiterals;

namespace logbook {

namespace {

// How one program writes the start into its file names; the captures are year, month, day, hour,
// minute, second.
struct NamePattern
{
    QRegularExpression expression;
    Qt::TimeSpec zone;
};

const std::vector<NamePattern>& namePatterns()
{
    static const std::vector<NamePattern> patterns {
        // gqrx, audio and I/Q: gqrx_20261207_102133_145800000.wav, gqrx_..._<rate>_fc.raw (UTC)
        { QRegularExpression(uR"(^gqrx_(\d{4})(\d\d)(\d\d)_(\d\d)(\d\d)(\d\d)_)"_s), Qt::UTC },
        // SDR#: SDRSharp_20261207_102133Z_145800000Hz_AF.wav (the Z says UTC)
        { QRegularExpression(uR"(^SDRSharp_(\d{4})(\d\d)(\d\d)_(\d\d)(\d\d)(\d\d)Z_)"_s), Qt::UTC },
        // SatNOGS observation: satnogs_1234567_2026-12-07T10-21-33.ogg (UTC)
        { QRegularExpression(uR"(^satnogs_\d+_(\d{4})-(\d\d)-(\d\d)T(\d\d)-(\d\d)-(\d\d))"_s), Qt::UTC },
    };
    return patterns;
}

// SDR++'s default template $t_$f_$h-$m-$s_$d-$M-$y puts the time before the date, in local time
// unless its recorder was set to UTC.
const QRegularExpression& sdrPlusPlusPattern()
{
    static const QRegularExpression pattern(
        uR"(^(?:audio|baseband)_[^_]*_(\d\d)-(\d\d)-(\d\d)_(\d\d)-(\d\d)-(\d{4}))"_s);
    return pattern;
}

QDateTime makeTime(int year, int month, int day, int hour, int minute, int second, Qt::TimeSpec zone)
{
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid()) {
        return {};
    }
    return QDateTime(date, time, zone).toUTC();
}

} // namespace

QDateTime startFromFileName(const QString& fileName)
{
    for (const NamePattern& pattern : namePatterns()) {
        const QRegularExpressionMatch match = pattern.expression.match(fileName);
        if (match.hasMatch()) {
            const auto at = [&](int i) { return match.captured(i).toInt(); };
            return makeTime(at(1), at(2), at(3), at(4), at(5), at(6), pattern.zone);
        }
    }
    const QRegularExpressionMatch match = sdrPlusPlusPattern().match(fileName);
    if (match.hasMatch()) {
        const auto at = [&](int i) { return match.captured(i).toInt(); };
        return makeTime(at(6), at(5), at(4), at(1), at(2), at(3), Qt::LocalTime);
    }
    return {};
}

QDateTime recordingStart(const QString& path, double durationSeconds)
{
    const QFileInfo info(path);
    if (QDateTime named = startFromFileName(info.fileName()); named.isValid()) {
        return named;
    }
    if (!info.exists()) {
        return {};
    }
    // A recorder writes until the end, so the file was last touched when the recording stopped.
    return info.lastModified().toUTC().addMSecs(-std::llround(durationSeconds * 1000.0));
}

QDateTime parseStartTime(const QString& text)
{
    static const QRegularExpression iso(
        uR"(^\d{4}-\d\d-\d\d[T ]\d\d:\d\d(:\d\d(\.\d{1,9})?)?(Z|[+-]\d\d(:?\d\d)?)?$)"_s);
    const QString trimmed = text.trimmed();
    if (!iso.match(trimmed).hasMatch()) {
        return {};
    }
    QString normalised = trimmed;
    normalised[10] = u'T';
    const bool hasZone =
        normalised.endsWith(u'Z') || normalised.lastIndexOf(u'+') > 10 || normalised.lastIndexOf(u'-') > 10;
    if (!hasZone) {
        normalised += u'Z';
    }
    QDateTime parsed = QDateTime::fromString(normalised, Qt::ISODateWithMs);
    if (!parsed.isValid()) {
        return {};
    }
    return parsed.toUTC();
}

} // namespace logbook
