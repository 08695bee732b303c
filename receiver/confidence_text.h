// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QString>

class QPlainTextEdit;

// The colour a character decoded with `confidence` (0..1) is shown in: the text colour when
// sure, through orange to red as it gets doubtful.
QColor confidenceColour(float confidence, const QColor& sure);

// Appends `text` to `edit` at its end, each character in its confidence colour.
void appendWithConfidence(QPlainTextEdit& edit, const QString& text, const QList<float>& confidence);
