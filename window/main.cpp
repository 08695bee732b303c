// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_forwarder.h"
#include "background_writer.h"
#include "form1.h"
#include "logbook.h"
#include "typed_beacon_log.h"

#include <QApplication>
#include <QPlainTextEdit>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TARNUP_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNUP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(TARNUP_NAME));

    Form1 form1;
    QApplication::setWindowIcon(form1.windowIcon());
    logbook::BackgroundWriter logWriter(logbook::Logbook::defaultPath());
    TypedBeaconLog typedLog(form1.findChild<QPlainTextEdit*>(QStringLiteral("Text2")), &logWriter);
    forwarding::BackgroundForwarder forwarder(logbook::Logbook::defaultPath());
    QObject::connect(&logWriter, &logbook::BackgroundWriter::appended, &forwarder,
        &forwarding::BackgroundForwarder::sendDue);
    QObject::connect(&form1, &Form1::stationSaved, &forwarder, &forwarding::BackgroundForwarder::sendDue);
    form1.show();
    return QApplication::exec();
}
