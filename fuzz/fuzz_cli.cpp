// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes through tarnup-decode's line handling and formatters, in chunks of a size
// the input picks, and checks that every JSON line parses and every CSV row reads back into the
// right cells, whatever a log holds.
#include "beacon.h"
#include "beacon_frame.h"
#include "field_table.h"
#include "line_input.h"
#include "output_format.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// One RFC 4180 record that must fill `bytes` exactly, CR LF at its end; nothing when it does not.
std::optional<QList<QByteArray>> parseCsvRecord(QByteArrayView bytes)
{
    QList<QByteArray> cells(1);
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '"' && cells.back().isEmpty()) {
            for (++i;; ++i) {
                if (i >= bytes.size()) {
                    return std::nullopt;
                }
                if (bytes[i] == '"') {
                    if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                        cells.back().append('"');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                cells.back().append(bytes[i]);
            }
            if (i < bytes.size() && bytes[i] != ',' && bytes[i] != '\r') {
                return std::nullopt;
            }
            continue;
        }
        if (bytes[i] == ',') {
            cells.append(QByteArray());
        } else if (bytes[i] == '\r') {
            return bytes.sliced(i) == QByteArrayView("\r\n") ? std::optional(cells) : std::nullopt;
        } else if (bytes[i] == '"' || bytes[i] == '\n') {
            return std::nullopt;
        } else {
            cells.back().append(bytes[i]);
        }
        ++i;
    }
    return std::nullopt;
}

// What the formats write for `text`: lone surrogates cannot be UTF-8 and come out as U+FFFD.
QString asWritten(QStringView text)
{
    QByteArray utf8;
    decodecli::appendUtf8(utf8, text);
    return QString::fromUtf8(utf8);
}

void checkJson(const decodecli::Origin& origin, const decodecli::ReceivedText& received)
{
    QByteArray out;
    decodecli::appendJsonRecord(out, origin, received);
    require(out.endsWith('\n') && out.count('\n') == 1);

    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    require(error.error == QJsonParseError::NoError && document.isObject());
    const QJsonObject record = document.object();
    require(record.value(u"line").toInteger() == origin.line);
    if (!received.isBeacon()) {
        require(record.value(u"beacon").isNull());
        return;
    }
    require(record.value(u"beacon").toString() == received.frame);
    require(record.value(u"report").toString() == asWritten(beacon::buildReport(received.frame)));
    const QJsonArray fields = record.value(u"fields").toArray();
    const auto tables = beacon::fieldTables();
    require(fields.size() == qsizetype(tables.size()));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const beacon::FieldTable& table = tables[std::size_t(i)];
        const QChar symbol = beacon::symbolAt(received.frame, table.position);
        const QJsonObject field = fields.at(i).toObject();
        require(field.value(u"text").toString() == asWritten(beacon::fieldText(table, symbol)));
        const std::optional<int> level = beacon::fieldLevel(table, symbol);
        require(level ? field.value(u"level").toInt(-1) == *level : field.value(u"level").isNull());
    }
}

void checkCsv(const decodecli::Origin& origin, const QString& frame)
{
    QByteArray out;
    decodecli::appendCsvRecord(out, origin, frame);
    const auto cells = parseCsvRecord(out);
    const auto tables = beacon::fieldTables();
    require(cells && cells->size() == qsizetype(tables.size()) + 3);
    require(QString::fromUtf8(cells->at(0)) == asWritten(origin.file()));
    require(cells->at(1).toLongLong() == origin.line);
    require(QString::fromUtf8(cells->at(2)) == asWritten(frame));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const QChar symbol = beacon::symbolAt(frame, tables[i].position);
        require(QString::fromUtf8(cells->at(qsizetype(i) + 3)) ==
            asWritten(beacon::fieldValue(tables[i], symbol)));
    }
}

// Any text at all, as one CSV cell and one JSON string, must read back as itself.
void checkQuoting(QStringView text)
{
    QByteArray csv;
    decodecli::appendCsvField(csv, text);
    csv.append("\r\n");
    const auto cells = parseCsvRecord(csv);
    require(cells && cells->size() == 1 && QString::fromUtf8(cells->front()) == asWritten(text));

    QByteArray json("[");
    decodecli::appendJsonString(json, text);
    json.append(']');
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    require(error.error == QJsonParseError::NoError && document.array().size() == 1);
    require(document.array().at(0).toString().size() == text.size());
}

void checkLine(const decodecli::Origin& origin, QByteArrayView line)
{
    const QByteArrayView body = decodecli::stripLineEnding(line);
    require(!body.endsWith('\n'));
    QString text;
    decodecli::decodeUtf8(body, text);

    const decodecli::ReceivedText kept = decodecli::receiveLine(line, decodecli::KeepInput::always);
    const decodecli::ReceivedText scanned = decodecli::receiveLine(line, decodecli::KeepInput::whenShort);
    require(kept.input == text);
    require(kept.frame == scanned.frame && kept.blank == scanned.blank);
    const QString normalised = beacon::normaliseBeacon(text);
    require(kept.isBeacon() == beacon::isBeacon(normalised));
    if (kept.blank) {
        return;
    }
    checkJson(origin, kept);
    if (scanned.input.isNull()) {
        checkJson(origin, scanned);
    }
    checkQuoting(text);
    if (kept.isBeacon()) {
        require(kept.frame == normalised);
        checkCsv(origin, kept.frame);
        QByteArray report;
        decodecli::appendTextReport(report, kept.frame);
        require(report.endsWith('\n') && report.count('\n') == 13);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const qsizetype chunkSize = 1 + data[0] % 64;
    const QByteArrayView log(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    // A name that needs quoting in both formats, so the file column is exercised too.
    decodecli::Origin origin(QStringLiteral("night, \"pass\"\n1.log"));
    QByteArray rejoined;
    const auto onLine = [&](QByteArrayView line) {
        ++origin.line;
        rejoined.append(line);
        checkLine(origin, line);
    };
    decodecli::LineSplitter splitter;
    for (QByteArrayView rest = log; !rest.isEmpty(); rest = rest.sliced(std::min(chunkSize, rest.size()))) {
        splitter.feed(rest.first(std::min(chunkSize, rest.size())), onLine);
    }
    splitter.finish(onLine);
    require(rejoined == log);
    return 0;
}
