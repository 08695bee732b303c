// SPDX-License-Identifier: GPL-3.0-or-later
#include "typed_beacon_settler.h"

std::optional<QString> TypedBeaconSettler::inputChanged(const QString& frame, qint64 nowMs)
{
    if (frame.isNull() || frame == m_shown) {
        return std::nullopt;
    }
    std::optional<QString> settled = settle(nowMs);
    m_shown = frame;
    m_shownSettled = false;
    return settled;
}

std::optional<QString> TypedBeaconSettler::settle(qint64 nowMs)
{
    if (m_shown.isNull() || m_shownSettled) {
        return std::nullopt;
    }
    m_shownSettled = true;
    const auto last = m_lastEntry.constFind(m_shown);
    if (last != m_lastEntry.cend() && nowMs - *last < repeatMs) {
        return std::nullopt;
    }
    m_lastEntry.insert(m_shown, nowMs);
    return m_shown;
}
