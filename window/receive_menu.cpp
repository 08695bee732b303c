// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive_menu.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

using namespace Qt::StringLiterals;

QMenu* receiveMenu(QMainWindow& window)
{
    QMenuBar* bar = window.menuBar();
    if (auto* existing = bar->findChild<QMenu*>(u"MnuReceive"_s)) {
        return existing;
    }
    auto* menu = new QMenu(u"Receive"_s, bar);
    menu->setObjectName(u"MnuReceive"_s);
    const QList<QAction*> actions = bar->actions();
    QAction* afterFile = nullptr;
    for (qsizetype i = 0; i + 1 < actions.size(); ++i) {
        if (auto* file = actions.at(i)->menu(); file != nullptr && file->objectName() == u"MnuFile") {
            afterFile = actions.at(i + 1);
        }
    }
    bar->insertMenu(afterFile, menu);
    return menu;
}
