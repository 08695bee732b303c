// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

private:
    void createControls();
    void createMenus();

    void text2Changed();
    void mnuExitClicked();

    QLabel* label2 = nullptr;
    QPlainTextEdit* text2 = nullptr;
    QPlainTextEdit* text3 = nullptr;
};
