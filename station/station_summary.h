// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station_settings.h"

#include <QString>

// A few plain sentences on what forwarding with `station` sends, and where (rich text).
QString stationSummary(const forwarding::StationSettings& station);
