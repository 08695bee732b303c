// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line_input.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <span>

namespace decodecli {

// Where a received text came from.
class Origin
{
public:
    // `file` is null for a text given on the command line.
    explicit Origin(const QString& file = {});

    const QString& file() const { return m_file; }
    // The file as each format writes it, encoded once rather than on every row.
    const QByteArray& jsonFile() const { return m_jsonFile; }
    const QByteArray& csvFile() const { return m_csvFile; }

    qint64 line = 0; // 1-based line in the file, or the place of the text among those given

private:
    QString m_file;
    QByteArray m_jsonFile;
    QByteArray m_csvFile;
};

// What the audio decoder measured of a beacon it heard.
struct Measurement
{
    double time = 0; // seconds from the start of the input to the first mark
    QDateTime utc; // when the first mark was sent; invalid when the start of the input is unknown
    double wpm = 0;
    double toneHz = 0;
    double snrDb = 0;
    std::span<const double> confidence; // one value 0..1 a character
};

// `text` as UTF-8; a lone surrogate becomes U+FFFD, so the bytes are always valid UTF-8.
void appendUtf8(QByteArray& out, QStringView text);

// `text` as a quoted JSON string: quote, backslash, control characters, DEL, U+2028, U+2029 and
// lone surrogates escaped, everything else as UTF-8.
void appendJsonString(QByteArray& out, QStringView text);

// `cell` as one RFC 4180 field: quoted, inner quotes doubled, when it holds a comma, quote or control
// character (CR and LF among them), or starts or ends with a space or tab (so that no reader trims it).
void appendCsvField(QByteArray& out, QStringView cell);

// The report of `frame`, which passed isBeacon, with every line ended by LF.
void appendTextReport(QByteArray& out, QStringView frame);

// One JSON object on a line of its own for `received`, whether a beacon or not. An input that was
// not kept is written from its bytes a slice at a time, `drain()` called between slices so that
// the caller may write out and empty `out`. A `measurement` adds its members after the report.
void appendJsonRecord(QByteArray& out, const Origin& origin, const ReceivedText& received,
    const std::function<void()>& drain = {}, const Measurement* measurement = nullptr);

// The CSV header row: file, line, beacon, the twelve field names, then `extraColumns`.
void appendCsvHeader(QByteArray& out, const QStringList& extraColumns = {});

// One CSV row for `frame`, which passed isBeacon: file, line (empty when 0), beacon, the twelve
// values, then `extraCells`.
void appendCsvRecord(
    QByteArray& out, const Origin& origin, QStringView frame, const QStringList& extraCells = {});

} // namespace decodecli
