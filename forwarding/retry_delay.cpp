// SPDX-License-Identifier: GPL-3.0-or-later
#include "retry_delay.h"

#include <algorithm>

namespace forwarding {

int retryDelaySeconds(int attempts)
{
    constexpr int first = 60;
    constexpr int longest = 6 * 3600;
    int delay = first;
    for (int i = 1; i < attempts && delay < longest; ++i) {
        delay *= 2;
    }
    return std::min(delay, longest);
}

} // namespace forwarding
