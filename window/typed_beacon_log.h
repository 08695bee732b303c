// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "typed_beacon_settler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QPlainTextEdit;

namespace logbook {
class BackgroundWriter;
}

// Watches the input field of a window and logs each typed beacon the user settled on as source
// "typed", written off the GUI thread. The window itself is not touched.
class TypedBeaconLog : public QObject
{
    Q_OBJECT

public:
    TypedBeaconLog(QPlainTextEdit* input, logbook::BackgroundWriter* writer, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void inputChanged();
    void log(const std::optional<QString>& beacon);

    QPlainTextEdit* m_input;
    logbook::BackgroundWriter* m_writer;
    TypedBeaconSettler m_settler;
    QElapsedTimer m_clock;
    QTimer m_rest;
};
