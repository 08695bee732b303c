// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace beacon {

// Every beacon starts with this and is exactly frameLength code units long.
inline constexpr QStringView framePrefix = u"TARNUP";
inline constexpr qsizetype frameLength = 19;

// Position 14 is sent but never decoded.
inline constexpr int skippedPosition = 14;

// The character at 1-based `position` of a frame that has passed isBeacon.
inline QChar symbolAt(QStringView frame, int position)
{
    return frame.at(position - 1);
}

} // namespace beacon
