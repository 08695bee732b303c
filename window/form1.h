// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receiver.h"

#include <QMainWindow>

class QLabel;
class QPlainTextEdit;

// The program's only window: the received CW string goes into Text2, and every change of it
// decodes into Text3.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    // Decodes the recording at `path` in the Receiver window; each beacon found goes into Text2.
    void openRecording(const QString& path);
    // The Receiver window, made on first use.
    Receiver* receiverWindow();

signals:
    // Every beacon the Receiver finds, whether or not it goes into Text2 (for the log).
    void beaconHeard(const FoundBeacon& beacon);

private:
    void createControls();
    void createMenus();

    void text2Changed();
    void mnuExitClicked();
    void mnuListenClicked();
    void mnuOpenRecordingClicked();
    void beaconReceived(const QString& beacon);

    QLabel* label2 = nullptr;
    QPlainTextEdit* text2 = nullptr;
    QPlainTextEdit* text3 = nullptr;
    Receiver* receiver = nullptr;
};
