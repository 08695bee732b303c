// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace beacon {

// The input text without any U+0020 and upper-cased one code unit at a time;
// every other character stays, so only the spaces change the length.
QString normaliseBeacon(const QString& text);

// True when `normalised` starts with "TARNUP" and is exactly 19 code units long.
bool isBeacon(const QString& normalised);

// True when `text` holds more than 19 code units other than U+0020, so it can never normalise to a
// beacon: lets a caller turn down a huge text without normalising all of it.
bool tooLongForBeacon(QStringView text);

// Line 1 of the report: its label followed by `frame`, which has passed `isBeacon`.
QString beaconLine(QStringView frame);

// The 13-line report, CR LF between lines and none at the end; `frame` has passed `isBeacon`.
QString buildReport(const QString& frame);

// Anything whose whole text can be read and replaced as one string.
class TextField
{
public:
    virtual ~TextField();
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

// Replaces everything `reportField` holds with `report`.
void applyReport(TextField& reportField, const QString& report);

// Writes the report for `inputText` when it is a beacon; otherwise leaves `reportField` untouched.
void decodeInput(const QString& inputText, TextField& reportField);

} // namespace beacon
