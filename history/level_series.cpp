// SPDX-License-Identifier: GPL-3.0-or-later
#include "level_series.h"

#include "beacon_frame.h"

#include <algorithm>

QList<QPointF> levelPoints(std::span<const logbook::Entry> entries, const beacon::FieldTable& field)
{
    QList<QPointF> points;
    points.reserve(qsizetype(entries.size()));
    for (const logbook::Entry& e : entries) {
        if (const auto level = beacon::fieldLevel(field, beacon::symbolAt(e.beacon, field.position))) {
            points.append(QPointF(double(e.utc.toMSecsSinceEpoch()), *level));
        }
    }
    if (!std::ranges::is_sorted(points, {}, &QPointF::x)) {
        std::ranges::stable_sort(points, {}, &QPointF::x);
    }
    return points;
}

QList<QPointF> thinForDisplay(const QList<QPointF>& points, int columns)
{
    if (points.size() <= columns || columns < 1) {
        return points;
    }
    const double first = points.first().x();
    const double width = std::max(points.last().x() - first, 1.0) / columns;
    QList<QPointF> thinned;
    qint64 column = -1;
    QList<double> levelsInColumn;
    for (const QPointF& point : points) {
        const auto at = qint64((point.x() - first) / width);
        if (at != column) {
            column = at;
            levelsInColumn.clear();
        }
        if (!levelsInColumn.contains(point.y())) {
            levelsInColumn.append(point.y());
            thinned.append(point);
        }
    }
    return thinned;
}

std::vector<std::pair<int, QString>> levelLabels(const beacon::FieldTable& field)
{
    std::vector<std::pair<int, QString>> labels;
    for (const beacon::FieldRow& row : field.rows) {
        if (const auto level = beacon::fieldLevel(field, QChar(row.symbol))) {
            if (std::ranges::find(labels, *level, &std::pair<int, QString>::first) == labels.end()) {
                labels.emplace_back(*level, beacon::fieldValue(field, QChar(row.symbol)).toString());
            }
        }
    }
    std::ranges::sort(labels);
    return labels;
}
