// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_duration.h"

#include "cw_audio.h"

namespace decodecli {

double recordingDuration(const QString& path)
{
    QString ignored;
    const auto file = cwaudio::AudioFile::open(path, &ignored);
    return file ? file->seconds() : 0.0;
}

} // namespace decodecli
