// SPDX-License-Identifier: GPL-3.0-or-later
#include "confidence_text.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

QColor confidenceColour(float confidence, const QColor& sure)
{
    if (confidence >= 0.9F) {
        return sure;
    }
    if (confidence >= 0.6F) {
        return { 200, 120, 0 };
    }
    return { 210, 0, 0 };
}

void appendWithConfidence(QPlainTextEdit& edit, const QString& text, const QList<float>& confidence)
{
    QScrollBar* bar = edit.verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const QColor sure = edit.palette().color(QPalette::Text);
    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::End);
    // Runs of one colour go in together: one insert per run, not per character.
    qsizetype runStart = 0;
    for (qsizetype i = 1; i <= text.size(); ++i) {
        const QColor colour = confidenceColour(confidence.value(runStart, 1.0F), sure);
        if (i < text.size() && confidenceColour(confidence.value(i, 1.0F), sure) == colour) {
            continue;
        }
        QTextCharFormat format;
        format.setForeground(colour);
        cursor.insertText(text.mid(runStart, i - runStart), format);
        runStart = i;
    }
    if (atEnd) {
        bar->setValue(bar->maximum());
    }
}
