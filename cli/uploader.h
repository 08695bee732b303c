// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"
#include "upload_queue.h"

#include <QList>

#include <vector>

namespace logbook {
class Logbook;
}

namespace decodecli {

// Both report to the station's server and wait for every answer, the outcomes recorded in `book`.
// They say on standard error what could not be sent and, unless `quiet`, what was; true when every
// one was sent.

// The entries `ids` (this run's) that are still queued.
bool uploadLogged(
    logbook::Logbook& book, const QList<qint64>& ids, const forwarding::StationSettings& station, bool quiet);
// Every queued entry, also those backing off after a failed try: the user asks for them now.
bool uploadPending(logbook::Logbook& book, const forwarding::StationSettings& station, bool quiet);

} // namespace decodecli
