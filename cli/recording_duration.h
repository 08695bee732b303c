// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace decodecli {

// Length of the audio file at `path` in seconds, 0 when it cannot be read (the decoder then says why).
double recordingDuration(const QString& path);

} // namespace decodecli
