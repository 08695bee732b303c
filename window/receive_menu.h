// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QMainWindow;
class QMenu;

// The Receive menu of `window` (objectName MnuReceive), added right after File the first time it
// is asked for.
QMenu* receiveMenu(QMainWindow& window);
