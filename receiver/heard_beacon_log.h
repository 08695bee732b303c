// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook.h"
#include "receiver.h"

// The logbook entry for a beacon the Receiver found: its source, time, measurements and, for a
// recording, the file and the offset into it; the station callsign if one is set.
logbook::Entry logEntryFor(const FoundBeacon& found);
