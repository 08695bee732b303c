// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"

#include <QByteArray>

#include <span>

// The entries as tarnup-decode --format csv writes beacons (file, line, beacon and the twelve
// fields; line left empty), followed by the columns utc and source.
QByteArray historyCsv(std::span<const logbook::Entry> entries);
