// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_duration.h"

#include <QFile>

#include <sndfile.h>

namespace decodecli {

double recordingDuration(const QString& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        return 0.0;
    }
    sf_close(file);
    return info.samplerate > 0 ? double(info.frames) / info.samplerate : 0.0;
}

} // namespace decodecli
