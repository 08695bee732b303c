// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QStringView>

#include <optional>

namespace beacon {

// The ten telemetry symbols; a symbol's index is the level it stands for.
inline constexpr QStringView levelAlphabet = u"DF2G4C6Q8Z";

// The level 0..9 that `symbol` stands for, or nothing when it is not a telemetry symbol.
std::optional<int> levelOf(QChar symbol);

} // namespace beacon
