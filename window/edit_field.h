// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon.h"

#include <QObject>

class QPlainTextEdit;

// A QPlainTextEdit read and written as a Windows multi-line edit holds its text: exactly the
// characters entered, with every line break as CR LF.
class EditField final : public beacon::TextField
{
public:
    explicit EditField(QPlainTextEdit& edit);

    // The whole text as entered; each line break reads as CR LF.
    QString text() const override;
    // Replaces the whole text and drops the field's undo history; CR LF, CR or LF each break a line.
    void setText(const QString& text) override;

private:
    QPlainTextEdit& m_edit;
};

// Makes Shift+Enter break the line the way Enter does. Qt would insert U+2028 instead, which
// reads back as one character rather than as the CR LF of every other line break.
class ParagraphBreakFilter final : public QObject
{
    Q_OBJECT

public:
    explicit ParagraphBreakFilter(QPlainTextEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
