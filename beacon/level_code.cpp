// SPDX-License-Identifier: GPL-3.0-or-later
#include "level_code.h"

namespace beacon {

std::optional<int> levelOf(QChar symbol)
{
    const qsizetype level = levelAlphabet.indexOf(symbol);
    if (level < 0) {
        return std::nullopt;
    }
    return static_cast<int>(level);
}

} // namespace beacon
