// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver_settings.h"

#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

ReceiverSettings ReceiverSettings::load()
{
    ReceiverSettings s;
    QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    settings.beginGroup(u"receiver"_s);
    const int source = settings.value(u"source"_s, int(s.source)).toInt();
    if (source >= int(Source::soundCard) && source <= int(Source::recording)) {
        s.source = Source(source);
    }
    s.deviceId = settings.value(u"device"_s).toByteArray();
    s.udpHost = settings.value(u"udpHost"_s, s.udpHost).toString();
    s.udpPort = std::clamp(settings.value(u"udpPort"_s, s.udpPort).toInt(), 1, 65535);
    s.udpRate = std::clamp(settings.value(u"udpRate"_s, s.udpRate).toInt(), 4000, 384000);
    s.recordingPath = settings.value(u"recording"_s).toString();
    s.geometry = settings.value(u"geometry"_s).toByteArray();
    return s;
}

void ReceiverSettings::save() const
{
    QSettings settings(u"tarnup-decoder"_s, u"tarnup-decoder"_s);
    settings.beginGroup(u"receiver"_s);
    settings.setValue(u"source"_s, int(source));
    settings.setValue(u"device"_s, deviceId);
    settings.setValue(u"udpHost"_s, udpHost);
    settings.setValue(u"udpPort"_s, udpPort);
    settings.setValue(u"udpRate"_s, udpRate);
    settings.setValue(u"recording"_s, recordingPath);
    settings.setValue(u"geometry"_s, geometry);
}
