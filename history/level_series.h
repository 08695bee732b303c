// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "field_table.h"
#include "logbook.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <span>
#include <utility>
#include <vector>

// A field's level against time: x in milliseconds since 1970 UTC, y the level. Entries whose
// symbol is outside the field's range leave a gap rather than a made-up point.
QList<QPointF> levelPoints(std::span<const logbook::Entry> entries, const beacon::FieldTable& field);

// `points` (sorted by x) cut to what `columns` columns of pixels can show: one point per column
// and level, at the first time it occurs there. A plot of 100,000 beacons then draws a few thousand.
QList<QPointF> thinForDisplay(const QList<QPointF>& points, int columns);

// Each level of `field` with the report text it stands for, lowest first.
std::vector<std::pair<int, QString>> levelLabels(const beacon::FieldTable& field);
