// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What the Receiver remembers between runs (QSettings, group "receiver").
struct ReceiverSettings
{
    enum class Source { soundCard, udp, recording };

    Source source = Source::udp;
    QByteArray deviceId; // empty: the default input
    QString udpHost = QStringLiteral("127.0.0.1");
    int udpPort = 7355;
    int udpRate = 48000;
    QString recordingPath;
    QByteArray geometry;

    static ReceiverSettings load();
    void save() const;
};
