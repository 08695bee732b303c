// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace logbook {

// Start of a recording in UTC: from the file name of common SDR programs (gqrx, SDR++, SDR#) and
// SatNOGS observation files, else the file's modification time minus its duration. Invalid when
// neither is known (no pattern and no such file).
QDateTime recordingStart(const QString& path, double durationSeconds);

// The start written in a recording's file name (no folder), in UTC; invalid when the name follows
// none of the known patterns.
QDateTime startFromFileName(const QString& fileName);

// Parses an ISO 8601 time given by the user (--start-time); without a zone it is UTC. Invalid
// QDateTime when it is not one.
QDateTime parseStartTime(const QString& text);

} // namespace logbook
