// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"

#include <QString>

#include <optional>

class QCommandLineParser;

namespace decodecli {

// --upload, --upload-pending and the station settings they may override.
struct UploadOptions
{
    bool logged = false; // --upload: what this run logs
    bool pending = false; // --upload-pending: what is queued in the logbook, decoding nothing
    QString sidsUrl;
    QString callsign;
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::optional<int> noradId;
};

void addUploadOptions(QCommandLineParser& parser);
// Fills `upload` from a parsed command line; what is wrong with it, or empty.
QString readUploadOptions(const QCommandLineParser& parser, bool logging, UploadOptions& upload);

// The saved station settings with the command line's overrides; asking to upload is the opt-in.
forwarding::StationSettings uploadStation(const UploadOptions& upload);

} // namespace decodecli
