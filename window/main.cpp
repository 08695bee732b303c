// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(TARNUP_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNUP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(TARNUP_NAME));

    Form1 form1;
    QApplication::setWindowIcon(form1.windowIcon());
    form1.show();
    return QApplication::exec();
}
