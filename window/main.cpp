// SPDX-License-Identifier: GPL-3.0-or-later
#include "background_forwarder.h"
#include "background_writer.h"
#include "form1.h"
#include "heard_beacon_log.h"
#include "history_window.h"
#include "logbook.h"
#include "receive_menu.h"
#include "station_dialog.h"
#include "typed_beacon_log.h"
#include "upload_commands.h"

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
    const QString logPath = logbook::Logbook::defaultPath();
    logbook::BackgroundWriter logWriter(logPath);
    TypedBeaconLog typedLog(form1.findChild<QPlainTextEdit*>(QStringLiteral("Text2")), &logWriter);
    forwarding::BackgroundForwarder forwarder(logPath);
    QObject::connect(&logWriter, &logbook::BackgroundWriter::appended, &forwarder,
        &forwarding::BackgroundForwarder::sendDue);
    QAction* history = HistoryWindow::addMenuEntry(receiveMenu(form1), &form1, logPath);
    addSendCommandOnOpen(history, &form1, &forwarder);
    StationDialog::addMenuEntry(receiveMenu(form1), &form1, [&forwarder] { forwarder.sendDue(); });
    QObject::connect(&form1, &Form1::beaconHeard, &logWriter,
        [&logWriter](const FoundBeacon& beacon) { logWriter.append(logEntryFor(beacon)); });
    form1.show();
    return QApplication::exec();
}
