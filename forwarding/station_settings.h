// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QSettings;

namespace forwarding {

// SatNOGS DB's telemetry endpoint, which takes SiDS reports.
QUrl defaultSidsUrl();

// Who and where the receiving station is, and whether it shares what it logs. Shared by the window
// and the command-line tool through QSettings (group "station").
struct StationSettings
{
    QString callsign;
    std::optional<double> latitude; // degrees, north positive
    std::optional<double> longitude; // degrees, east positive
    std::optional<int> noradId; // no default: only the user knows the satellite's number
    QUrl sidsUrl = defaultSidsUrl();
    bool forwardingOn = false;
    int timeoutSeconds = 30; // per request; not in the dialog

    static StationSettings load();
    static StationSettings load(const QSettings& settings);
    void save() const;
    void save(QSettings& settings) const;

    // The upload state a newly logged beacon starts in: "queued" while forwarding is on, else
    // "local" (never sent unless the user picks it).
    QString newEntryUploadState() const;

    // What is missing or wrong for a report to be sent ("no callsign, no NORAD number"); empty
    // when a report can be made.
    QString problems() const;
};

} // namespace forwarding
