// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_field.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

using namespace Qt::StringLiterals;

EditField::EditField(QPlainTextEdit& edit)
    : m_edit(edit)
{
}

QString EditField::text() const
{
    // toPlainText() would turn no-break spaces into spaces and U+2028 into LF; the raw text keeps
    // every character and marks each line break with one U+2029.
    QString text = m_edit.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u"\r\n"_s);
    return text;
}

void EditField::setText(const QString& text)
{
    m_edit.setPlainText(text);
}

ParagraphBreakFilter::ParagraphBreakFilter(QPlainTextEdit* edit)
    : QObject(edit)
{
    edit->installEventFilter(this);
}

bool ParagraphBreakFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && key->modifiers().testFlag(Qt::ShiftModifier)) {
            QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ShiftModifier, key->text(),
                key->isAutoRepeat(), key->count());
            QCoreApplication::sendEvent(watched, &plain);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
