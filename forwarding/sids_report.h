// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace forwarding {

// One received frame as the Simple Downlink Share Convention reports it.
struct SidsReport
{
    QDateTime utc; // when the frame was received
    QString beacon; // the frame's characters, ASCII (any other sent as UTF-8)
    QString callsign; // who received it; empty: the station's
};

// "8.95564E" / "49.73145N": the convention's absolute degrees with a hemisphere letter.
QString sidsLongitude(double degrees);
QString sidsLatitude(double degrees);
// "2026-12-07T10:21:33.560Z": UTC with milliseconds.
QString sidsTimestamp(const QDateTime& time);

// The application/x-www-form-urlencoded body reporting `report` from `station`, which has no
// problems().
QByteArray sidsFormBody(const StationSettings& station, const SidsReport& report);

} // namespace forwarding
