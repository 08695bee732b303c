// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

#include <optional>

// Decides when a typed beacon is one the user settled on: the beacon in the report is settled when
// the input turns into a different beacon, when the window closes, or when the input has rested a
// few seconds. Half-typed text never reaches the report, so it is never settled; the same beacon
// settled again within a minute of its last entry gives no second one.
class TypedBeaconSettler
{
public:
    static constexpr qint64 restMs = 5000;
    static constexpr qint64 repeatMs = 60000;

    // The input changed at `nowMs`; `frame` is the beacon it now forms, or null. Returns the
    // beacon that this settles, if any.
    std::optional<QString> inputChanged(const QString& frame, qint64 nowMs);
    // The input has rested restMs, or the window closes: settles the beacon in the report.
    std::optional<QString> settle(qint64 nowMs);

private:
    QString m_shown; // the beacon whose report is on screen
    bool m_shownSettled = false;
    QHash<QString, qint64> m_lastEntry;
};
