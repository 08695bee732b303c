// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace forwarding {

// Seconds to wait after the `attempts`-th failed try (1, 2, ...): a minute, doubling up to six
// hours, so a server that is down for a day is not hammered and a short outage costs little.
int retryDelaySeconds(int attempts);

} // namespace forwarding
