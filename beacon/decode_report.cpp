// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"
#include "beacon_frame.h"
#include "field_table.h"

namespace beacon {

namespace {

constexpr QStringView reportLabel = u"CW beacon: ";
constexpr QStringView lineBreak = u"\r\n";

} // namespace

// Normalising only drops spaces, so more than frameLength other code units can never make a
// beacon. Stopping there keeps a keystroke cheap however much text the input holds.
bool tooLongForBeacon(QStringView text)
{
    qsizetype kept = 0;
    for (const QChar c : text) {
        if (c != u' ' && ++kept > frameLength) {
            return true;
        }
    }
    return false;
}

QString beaconLine(QStringView frame)
{
    QString line;
    line.reserve(reportLabel.size() + frame.size());
    line.append(reportLabel).append(frame);
    return line;
}

TextField::~TextField() = default;

QString buildReport(const QString& frame)
{
    const auto fields = fieldTables();
    QString report = beaconLine(frame);
    report.reserve(512);
    for (const FieldTable& field : fields) {
        report.append(lineBreak).append(fieldText(field, symbolAt(frame, field.position)));
    }
    return report;
}

void applyReport(TextField& reportField, const QString& report)
{
    reportField.setText(report);
}

void decodeInput(const QString& inputText, TextField& reportField)
{
    if (tooLongForBeacon(inputText)) {
        return;
    }
    const QString frame = normaliseBeacon(inputText);
    if (!isBeacon(frame)) {
        return;
    }
    applyReport(reportField, buildReport(frame));
}

} // namespace beacon
