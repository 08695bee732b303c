// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class HistoryWindow;
class QAction;
class QWidget;

namespace forwarding {
class BackgroundForwarder;
}

// Send Selected for `window`: reports the chosen entries through `forwarder` (asking first when
// some were sent already) and shows the outcomes in the window's status bar.
QAction* addSendCommand(HistoryWindow* window, forwarding::BackgroundForwarder* forwarder);

// The same for the History window that `historyEntry` (Receive > History... over `owner`) opens.
void addSendCommandOnOpen(QAction* historyEntry, QWidget* owner, forwarding::BackgroundForwarder* forwarder);
