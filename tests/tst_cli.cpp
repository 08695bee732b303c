// SPDX-License-Identifier: GPL-3.0-or-later
#include "golden_reports.h"
#include "line_input.h"
#include "output_format.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    QByteArray out;
    QByteArray err;
    int exitCode = -1;
};

Run runDecoder(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(TARNUP_DECODE_EXE), arguments);
    if (!process.waitForStarted()) {
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    Run run;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QString dataFile(const QString& name)
{
    return QStringLiteral(TARNUP_TEST_DATA "/") + name;
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A strict RFC 4180 reader: records end in CR LF, quotes only around whole fields.
std::optional<QList<QStringList>> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != u'"') {
                field.append(c);
            } else if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                field.append(c);
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted) {
                return std::nullopt;
            }
            quoted = wasQuoted = true;
        } else if (c == u',') {
            record.append(std::exchange(field, {}));
            wasQuoted = false;
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            record.append(std::exchange(field, {}));
            records.append(std::exchange(record, {}));
            wasQuoted = false;
            ++i;
        } else if (c == u'\r' || c == u'\n' || wasQuoted) {
            return std::nullopt;
        } else {
            field.append(c);
        }
    }
    if (quoted || !field.isEmpty() || !record.isEmpty()) {
        return std::nullopt; // every record must be complete
    }
    return records;
}

// A report line's field name and its text, split at the ": " after the name.
std::pair<QString, QString> nameAndText(const QString& line)
{
    const qsizetype colon = line.indexOf(u": "_s);
    return { line.first(colon), line.sliced(colon + 2) };
}

QStringList csvHeader()
{
    QStringList header { u"file"_s, u"line"_s, u"beacon"_s };
    for (const QString& line : goldenReports().first().lines.mid(1)) {
        header.append(nameAndText(line).first);
    }
    return header;
}

QStringList csvRow(const QString& file, int line, const QString& frame)
{
    QStringList row { file, QString::number(line), frame };
    for (const QString& text : goldenLines(frame).mid(1)) {
        row.append(nameAndText(text).second);
    }
    return row;
}

// The text format: each report with LF line ends, a blank line between reports.
QByteArray textReports(const QStringList& frames)
{
    QStringList reports;
    for (const QString& frame : frames) {
        reports.append(goldenLines(frame).join(u'\n') + u'\n');
    }
    return reports.join(u'\n').toUtf8();
}

// The "fields" of a JSON record for `frame`: a level only where the field shows no fallback text.
QJsonArray jsonFields(const QString& frame)
{
    const QStringList lines = goldenLines(frame);
    const QStringList fallbacks = goldenReports().last().lines;
    QJsonArray fields;
    for (std::size_t f = 0; f < goldenPositions.size(); ++f) {
        const auto i = qsizetype(f) + 1;
        const QChar symbol = frame.at(goldenPositions[f] - 1);
        const qsizetype level = u"DF2G4C6Q8Z"_s.indexOf(symbol);
        fields.append(QJsonObject { { u"position"_s, goldenPositions[f] },
            { u"name"_s, nameAndText(lines.at(i)).first }, { u"symbol"_s, QString(symbol) },
            { u"level"_s, level < 0 || lines.at(i) == fallbacks.at(i) ? QJsonValue() : QJsonValue(level) },
            { u"text"_s, lines.at(i) } });
    }
    return fields;
}

std::optional<QList<QJsonObject>> parseJsonLines(const QByteArray& out)
{
    QList<QJsonObject> objects;
    if (!out.isEmpty() && !out.endsWith('\n')) {
        return std::nullopt;
    }
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            qWarning() << error.errorString() << line.left(200);
            return std::nullopt;
        }
        objects.append(document.object());
    }
    return objects;
}

// Beacons of mixed.log by line number; lines 1, 6 and 9 are not beacons, 4 and 5 are blank.
const QList<std::pair<int, QString>> mixedBeacons {
    { 2, u"TARNUPQ8CQCG4XGG4DZ"_s },
    { 3, u"TARNUPQ8CQCG4XGG4DZ"_s },
    { 7, u"TARNUP0000000000000"_s },
    { 8, u"TARNUP2D6DQ8Z?GGZ8D"_s },
    { 10, u"TARNUP8ZF2C6Q4?DD88"_s },
};
const QList<int> mixedNotBeacons { 1, 6, 9 };

QByteArray notBeaconWarnings(const QString& file, const QList<int>& lines)
{
    QByteArray warnings;
    for (int line : lines) {
        warnings += "tarnup-decode: " + file.toUtf8() + ':' + QByteArray::number(line) + ": not a beacon\n";
    }
    return warnings;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase();

    void stripLineEnding_data();
    void stripLineEnding();
    void splitLines_data();
    void splitLines();
    void longLineScan_data();
    void longLineScan();
    void csvField_data();
    void csvField();
    void jsonString_data();
    void jsonString();
    void specialAtEveryPlace_data();
    void specialAtEveryPlace();

    void goldenReports_data();
    void goldenReports();
    void byteOrderMark_data();
    void byteOrderMark();
    void textFormat();
    void csvFormat();
    void jsonFormat();
    void exitCodes_data();
    void exitCodes();
    void unreadableAmongReadable();
    void invalidUtf8_data();
    void invalidUtf8();
    void csvQuoting_data();
    void csvQuoting();
    void jsonHostile_data();
    void jsonHostile();
    void quiet_data();
    void quiet();
    void beaconOption();
    void standardInput_data();
    void standardInput();
    void largeLine_data();
    void largeLine();
    void longJsonInput_data();
    void longJsonInput();
};

void TestCli::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(TARNUP_DECODE_EXE)));
    QVERIFY(m_dir.isValid());
}

void TestCli::stripLineEnding_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("LF") << QByteArray("abc\n") << QByteArray("abc");
    QTest::newRow("CR LF") << QByteArray("abc\r\n") << QByteArray("abc");
    QTest::newRow("last line without ending") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("lone CR at end stays") << QByteArray("abc\r") << QByteArray("abc\r");
    QTest::newRow("CR inside stays") << QByteArray("a\rb\n") << QByteArray("a\rb");
    QTest::newRow("CR CR LF keeps one CR") << QByteArray("abc\r\r\n") << QByteArray("abc\r");
    QTest::newRow("only LF") << QByteArray("\n") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestCli::stripLineEnding()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, text);
    QCOMPARE(decodecli::stripLineEnding(line).toByteArray(), text);
}

void TestCli::splitLines_data()
{
    QTest::addColumn<qsizetype>("chunkSize");
    for (qsizetype size : { 1, 2, 3, 5, 7, 64 }) {
        QTest::addRow("chunks of %lld", qlonglong(size)) << size;
    }
}

void TestCli::splitLines()
{
    QFETCH(qsizetype, chunkSize);
    const QByteArray stream = "first\nsecond\r\n\nlast line, no ending";
    decodecli::LineSplitter splitter;
    QByteArrayList lines;
    const auto onLine = [&](QByteArrayView line) { lines.append(line.toByteArray()); };
    for (qsizetype at = 0; at < stream.size(); at += chunkSize) {
        splitter.feed(QByteArrayView(stream).sliced(at, std::min(chunkSize, stream.size() - at)), onLine);
    }
    splitter.finish(onLine);
    QCOMPARE(lines, (QByteArrayList { "first\n", "second\r\n", "\n", "last line, no ending" }));
}

void TestCli::longLineScan_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("inputKept");

    const QByteArray beacon = "TARNUPQ8CQCG4XGG4DZ";
    QTest::newRow("long junk") << QByteArray(100000, 'x') << false;
    QTest::newRow("long blank") << QByteArray(100000, ' ') + "\t\r" << false;
    QTest::newRow("beacon after many spaces") << QByteArray(100000, ' ') + beacon << true;
    QTest::newRow("few characters spread out") << (QByteArray(30000, ' ') + 'x').repeated(4) << true;
    QTest::newRow("stray continuation bytes") << QByteArray(100000, '\x80') << false;
    QTest::newRow("euro sign across a slice end")
        << QByteArray(16383, 'x') + "\xe2\x82\xac" + QByteArray(70000, 'y') << false;
    QTest::newRow("cut sequence at a slice end")
        << QByteArray(16383, 'x') + "\xe2\x82" + QByteArray(70000, 'y') << false;
    QTest::newRow("four-byte sequence after a slice end")
        << QByteArray(16384, 'x') + "\xf0\x9f\x98\x80" + QByteArray(70000, 'y') << false;
    QTest::newRow("short beacon") << beacon << true;
}

// Scanning a long line in slices must judge it exactly as decoding it whole does.
void TestCli::longLineScan()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, inputKept);
    const decodecli::ReceivedText whole = decodecli::receiveLine(line, decodecli::KeepInput::always);
    const decodecli::ReceivedText scanned = decodecli::receiveLine(line, decodecli::KeepInput::whenShort);
    QCOMPARE(scanned.blank, whole.blank);
    QCOMPARE(scanned.invalidUtf8, whole.invalidUtf8);
    QCOMPARE(scanned.frame, whole.frame);
    QCOMPARE(!scanned.input.isNull(), inputKept);
    QVERIFY(!whole.input.isNull() || line.isEmpty());
}

void TestCli::csvField_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("plain") << u"Mission Mode"_s << QByteArray("Mission Mode");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("degree sign as UTF-8") << u"0\u00b0C .. 5\u00b0C"_s
                                          << QByteArray("0\xc2\xb0"
                                                        "C .. 5\xc2\xb0"
                                                        "C");
    QTest::newRow("comma") << u"a,b"_s << QByteArray("\"a,b\"");
    QTest::newRow("quote doubled") << u"say \"hi\""_s << QByteArray(R"("say ""hi""")");
    QTest::newRow("line break") << u"a\r\nb"_s << QByteArray("\"a\r\nb\"");
    QTest::newRow("lone CR") << u"a\rb"_s << QByteArray("\"a\rb\"");
    QTest::newRow("leading space kept") << u" >130\u00b0C"_s
                                        << QByteArray("\" >130\xc2\xb0"
                                                      "C\"");
    QTest::newRow("trailing space kept") << u"unknown "_s << QByteArray("\"unknown \"");
    QTest::newRow("tab") << u"a\tb"_s << QByteArray("\"a\tb\"");
    QTest::newRow("backslash is plain") << u"a\\b"_s << QByteArray("a\\b");
    QTest::newRow("lone surrogate replaced") << u"a"_s + QChar(0xd800) + u"b"_s
                                             << QByteArray("a\xef\xbf\xbd"
                                                           "b");
    QTest::newRow("pair kept") << u"\U0001F600"_s << QByteArray("\xf0\x9f\x98\x80");
}

void TestCli::csvField()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, field);
    QByteArray out = "x,";
    decodecli::appendCsvField(out, cell);
    QCOMPARE(out, "x," + field);
}

void TestCli::jsonString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("plain") << u"abc"_s << QByteArray("\"abc\"");
    QTest::newRow("quote and backslash") << u"\"\\"_s << QByteArray(R"("\"\\")");
    QTest::newRow("short escapes") << u"\n\r\t"_s << QByteArray(R"("\n\r\t")");
    QTest::newRow("NUL") << QString(1, QChar(0)) << QByteArray(R"("\u0000")");
    QTest::newRow("escape and DEL") << u"\x1b\x7f"_s << QByteArray(R"("\u001b\u007f")");
    QTest::newRow("line separators") << u"\u2028\u2029"_s << QByteArray(R"("\u2028\u2029")");
    QTest::newRow("byte order mark first") << u"\ufeffa"_s << QByteArray(R"("\ufeffa")");
    QTest::newRow("lone high surrogate") << u"a"_s + QChar(0xd83d) << QByteArray(R"("a\ud83d")");
    QTest::newRow("lone low surrogate") << QChar(0xde00) + u"b"_s << QByteArray(R"("\ude00b")");
    QTest::newRow("pair in wrong order")
        << QString(QChar(0xde00)) + QChar(0xd83d) << QByteArray(R"("\ude00\ud83d")");
    QTest::newRow("pair as UTF-8") << u"\U0001F600"_s << QByteArray("\"\xf0\x9f\x98\x80\"");
    QTest::newRow("degree sign") << u"\u00b0"_s << QByteArray("\"\xc2\xb0\"");
}

void TestCli::jsonString()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, json);
    QByteArray out;
    decodecli::appendJsonString(out, text);
    QCOMPARE(out, json);
    const QJsonDocument document = QJsonDocument::fromJson("[" + out + "]");
    QVERIFY(document.isArray());
    QCOMPARE(document.array().at(0).toString(), text);
}

void TestCli::specialAtEveryPlace_data()
{
    QTest::addColumn<QString>("special");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<bool>("csvQuoted");
    QTest::addColumn<int>("place");

    const struct
    {
        const char* name;
        QString special;
        QByteArray json;
        QByteArray csv;
        bool csvQuoted;
    } rows[] = {
        { "quote", u"\""_s, R"(\")", R"("")", true },
        { "backslash", u"\\"_s, R"(\\)", "\\", false },
        { "unit separator", u"\x1f"_s, R"(\u001f)", "\x1f", true },
        { "DEL", u"\x7f"_s, R"(\u007f)", "\x7f", true },
        { "comma", u","_s, ",", ",", true },
        { "tilde", u"~"_s, "~", "~", false },
        { "e acute", u"\u00e9"_s, "\xc3\xa9", "\xc3\xa9", false },
        { "line separator", u"\u2028"_s, R"(\u2028)", "\xe2\x80\xa8", false },
        { "lone surrogate", QString(QChar(0xdc01)), R"(\udc01)", "\xef\xbf\xbd", false },
    };
    for (const auto& row : rows) {
        for (int place = 0; place <= 8; ++place) {
            QTest::addRow("%s at %d", row.name, place)
                << row.special << row.json << row.csv << row.csvQuoted << place;
        }
    }
}

// The encoders take printable ASCII four code units at a time: one odd unit at any place among
// them must still be caught.
void TestCli::specialAtEveryPlace()
{
    QFETCH(QString, special);
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, csv);
    QFETCH(bool, csvQuoted);
    QFETCH(int, place);
    const QByteArray plain = "abcdefghijk";
    const QString text =
        QString::fromLatin1(plain.left(place)) + special + QString::fromLatin1(plain.mid(place));

    QByteArray jsonOut;
    decodecli::appendJsonString(jsonOut, text);
    QCOMPARE(jsonOut, '"' + plain.left(place) + json + plain.mid(place) + '"');

    QByteArray csvOut;
    decodecli::appendCsvField(csvOut, text);
    const QByteArray cell = plain.left(place) + csv + plain.mid(place);
    QCOMPARE(csvOut, csvQuoted ? '"' + cell + '"' : cell);
}

void TestCli::goldenReports_data()
{
    QTest::addColumn<QString>("format");
    for (const QString& format : { u"text"_s, u"csv"_s, u"json"_s }) {
        QTest::newRow(qPrintable(format)) << format;
    }
}

// Every golden input on a line of its own gives its golden report, whole.
void TestCli::goldenReports()
{
    QFETCH(QString, format);
    const QString log = m_dir.filePath(u"golden.log"_s);
    QStringList inputs;
    QStringList reports;
    QList<QStringList> rows { csvHeader() };
    for (const GoldenReport& golden : ::goldenReports()) {
        inputs.append(golden.input);
        reports.append(golden.report(u"\n"_s) + u'\n');
        rows.append(QStringList { log, QString::number(inputs.size()), golden.frame() });
        for (const QString& line : golden.lines.mid(1)) {
            rows.last().append(nameAndText(line).second);
        }
    }
    QVERIFY(writeFile(log, (inputs.join(u'\n') + u'\n').toUtf8()));
    const Run run = runDecoder({ u"-f"_s, format, log });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    if (format == u"text") {
        QCOMPARE(QString::fromUtf8(run.out), reports.join(u'\n'));
    } else if (format == u"csv") {
        QCOMPARE(parseCsv(QString::fromUtf8(run.out)), rows);
    } else {
        const auto objects = parseJsonLines(run.out);
        QVERIFY(objects);
        QCOMPARE(objects->size(), inputs.size());
        for (qsizetype i = 0; i < inputs.size(); ++i) {
            const GoldenReport& golden = ::goldenReports().at(i);
            QCOMPARE(objects->at(i).value(u"input").toString(), golden.input);
            QCOMPARE(objects->at(i).value(u"beacon").toString(), golden.frame());
            QCOMPARE(objects->at(i).value(u"report").toString(), golden.report());
            QCOMPARE(objects->at(i).value(u"fields").toArray(), jsonFields(golden.frame()));
        }
    }
}

void TestCli::byteOrderMark_data()
{
    QTest::addColumn<bool>("laterLine");
    QTest::newRow("before the first line") << false;
    QTest::newRow("before a later line") << true;
}

// Some editors put a UTF-8 byte order mark in front of a file; anywhere else it is text, as in the
// window, and the line is no beacon.
void TestCli::byteOrderMark()
{
    QFETCH(bool, laterLine);
    const GoldenReport& golden = ::goldenReports().first();
    const QString log = m_dir.filePath(u"bom.log"_s);
    const QByteArray marked = "\xef\xbb\xbf" + golden.input.toUtf8() + "\r\n";
    QVERIFY(writeFile(log, laterLine ? golden.input.toUtf8() + "\n" + marked : marked));
    const Run run = runDecoder({ log });
    QCOMPARE(run.out, (golden.report(u"\n"_s) + u'\n').toUtf8());
    QCOMPARE(run.err, laterLine ? notBeaconWarnings(log, { 2 }) : QByteArray());
    QCOMPARE(run.exitCode, laterLine ? 1 : 0);
}

void TestCli::textFormat()
{
    const QString log = dataFile(u"mixed.log"_s);
    const Run run = runDecoder({ log });
    QStringList frames;
    for (const auto& [line, frame] : mixedBeacons) {
        frames.append(frame);
    }
    QCOMPARE(run.out, textReports(frames));
    QCOMPARE(run.err, notBeaconWarnings(log, mixedNotBeacons));
    QCOMPARE(run.exitCode, 1);
}

void TestCli::csvFormat()
{
    const QString log = dataFile(u"mixed.log"_s);
    const Run run = runDecoder({ u"--format"_s, u"csv"_s, log });
    const auto records = parseCsv(QString::fromUtf8(run.out));
    QVERIFY(records);
    QList<QStringList> expected { csvHeader() };
    for (const auto& [line, frame] : mixedBeacons) {
        expected.append(csvRow(log, line, frame));
    }
    QCOMPARE(*records, expected);
    QCOMPARE(records->at(1).last(), u" >130\u00b0C"_s);
    QCOMPARE(run.err, notBeaconWarnings(log, mixedNotBeacons));
    QCOMPARE(run.exitCode, 1);
}

void TestCli::jsonFormat()
{
    const QString log = dataFile(u"mixed.log"_s);
    const Run run = runDecoder({ u"-f"_s, u"json"_s, log });
    const auto objects = parseJsonLines(run.out);
    QVERIFY(objects);
    QCOMPARE(objects->size(), mixedBeacons.size() + mixedNotBeacons.size());

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArrayList lines = file.readAll().split('\n');
    for (const QJsonObject& object : *objects) {
        const int line = object.value(u"line").toInt();
        QCOMPARE(object.value(u"file").toString(), log);
        QCOMPARE(object.value(u"input").toString(),
            QString::fromUtf8(decodecli::stripLineEnding(lines.at(line - 1) + '\n')));
        if (mixedNotBeacons.contains(line)) {
            QVERIFY(object.value(u"beacon").isNull());
            QVERIFY(object.value(u"fields").isNull());
            QVERIFY(object.value(u"report").isNull());
            continue;
        }
        const QString frame = object.value(u"beacon").toString();
        QVERIFY(mixedBeacons.contains(std::pair { line, frame }));
        QCOMPARE(object.value(u"report").toString(), goldenLines(frame).join(u"\r\n"_s));
        QCOMPARE(object.value(u"fields").toArray(), jsonFields(frame));
    }
    QVERIFY(run.err.isEmpty());
    QCOMPARE(run.exitCode, 1);
}

void TestCli::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    const QString beacons = dataFile(u"beacons.log"_s);
    const QString mixed = dataFile(u"mixed.log"_s);
    QTest::newRow("all beacons") << QStringList { beacons } << 0;
    QTest::newRow("all beacons, json") << QStringList { u"-f"_s, u"json"_s, beacons } << 0;
    QTest::newRow("some not beacons") << QStringList { beacons, mixed } << 1;
    QTest::newRow("some not beacons, csv") << QStringList { u"--format=csv"_s, mixed } << 1;
    QTest::newRow("missing file") << QStringList { u"/nonexistent/night.log"_s } << 2;
    QTest::newRow("missing file wins over not beacons")
        << QStringList { mixed, u"/nonexistent/night.log"_s } << 2;
    QTest::newRow("unknown option") << QStringList { u"--colour"_s, beacons } << 2;
    QTest::newRow("unknown format") << QStringList { u"--format"_s, u"xml"_s, beacons } << 2;
    QTest::newRow("format without value") << QStringList { u"--format"_s } << 2;
    QTest::newRow("texts and files together")
        << QStringList { u"-b"_s, u"TARNUPQ8CQCG4XGG4DZ"_s, beacons } << 2;
    QTest::newRow("beacon given") << QStringList { u"-b"_s, u"tarnup q8cq cg4x gg4d z"_s } << 0;
    QTest::newRow("junk given") << QStringList { u"--beacon"_s, u"hello"_s } << 1;
    QTest::newRow("blank given") << QStringList { u"-b"_s, u"  "_s } << 0;
    QTest::newRow("help") << QStringList { u"--help"_s } << 0;
    QTest::newRow("version") << QStringList { u"--version"_s } << 0;
}

void TestCli::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    const Run run = runDecoder(arguments);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY(run.err.startsWith("tarnup-decode: "));
    }
}

void TestCli::unreadableAmongReadable()
{
    const QString beacons = dataFile(u"beacons.log"_s);
    const QString missing = m_dir.filePath(u"missing.log"_s);
    const QString directory = m_dir.path();
    const Run run = runDecoder({ u"-f"_s, u"csv"_s, beacons, missing, directory, beacons });
    QCOMPARE(run.exitCode, 2);
    const auto records = parseCsv(QString::fromUtf8(run.out));
    QVERIFY(records);
    QCOMPARE(records->size(), 1 + 2 * 2);
    QCOMPARE(records->at(4), csvRow(beacons, 3, u"TARNUP2D6DQ8Z?GGZ8D"_s));
    const QList<QByteArray> errors = run.err.trimmed().split('\n');
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.at(0).contains(missing.toUtf8()) && errors.at(0).contains("No such file"), errors.at(0));
    QVERIFY2(errors.at(1).contains(directory.toUtf8()) && errors.at(1).contains("directory"), errors.at(1));
}

void TestCli::invalidUtf8_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isBeacon");

    QTest::newRow("byte FF in junk") << QByteArray("abc\xff"
                                                   "def")
                                     << false;
    QTest::newRow("bad byte at position 14") << QByteArray("TARNUPQ8CQCG4\xff"
                                                           "GG4DZ")
                                             << true;
    QTest::newRow("cut sequence at the end") << QByteArray("no beacon here \xe2\x82") << false;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80 lone") << false;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("Latin-1 degree sign") << QByteArray("20\xb0"
                                                       "C")
                                         << false;
}

void TestCli::invalidUtf8()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isBeacon);
    const QString log = m_dir.filePath(u"invalid.log"_s);
    QVERIFY(writeFile(log, "TARNUPQ8CQCG4XGG4DZ\n" + line + "\n"));
    const QByteArray warning = "tarnup-decode: " + log.toUtf8() + ":2: not valid UTF-8";

    const Run json = runDecoder({ u"-f"_s, u"json"_s, log });
    QVERIFY2(json.err.startsWith(warning), json.err);
    QVERIFY(isUtf8(json.out));
    const auto objects = parseJsonLines(json.out);
    QVERIFY(objects);
    QCOMPARE(objects->size(), 2);
    const QString input = objects->at(1).value(u"input").toString();
    QVERIFY(input.contains(QChar::ReplacementCharacter));
    QCOMPARE(!objects->at(1).value(u"beacon").isNull(), isBeacon);
    QCOMPARE(json.exitCode, isBeacon ? 0 : 1);

    const Run csv = runDecoder({ u"-f"_s, u"csv"_s, log });
    QVERIFY(csv.err.startsWith(warning));
    QVERIFY(isUtf8(csv.out));
    const auto records = parseCsv(QString::fromUtf8(csv.out));
    QVERIFY(records);
    QCOMPARE(records->size(), isBeacon ? 3 : 2);
}

void TestCli::csvQuoting_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("frame");

    QTest::newRow("comma and quote in the beacon")
        << u"plain.log"_s << QByteArray("tarnup q8,\" cg4x gg4d z") << u"TARNUPQ8,\"CG4XGG4DZ"_s;
    QTest::newRow("CR in the beacon")
        << u"cr.log"_s << QByteArray("TARNUPQ8CQCG4XGG4D\r\r\n") << u"TARNUPQ8CQCG4XGG4D\r"_s;
    QTest::newRow("file name with comma, quote and line break")
        << u"night, \"one\"\nand two.log"_s << QByteArray("TARNUPQ8CQCG4XGG4DZ") << u"TARNUPQ8CQCG4XGG4DZ"_s;
}

void TestCli::csvQuoting()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, line);
    QFETCH(QString, frame);
    const QString log = m_dir.filePath(fileName);
    QVERIFY(writeFile(log, line));
    const Run run = runDecoder({ u"-f"_s, u"csv"_s, log });
    QCOMPARE(run.exitCode, 0);
    const auto records = parseCsv(QString::fromUtf8(run.out));
    QVERIFY(records);
    QCOMPARE(*records, (QList<QStringList> { csvHeader(), csvRow(log, 1, frame) }));
}

void TestCli::jsonHostile_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isBeacon");

    QTest::newRow("control characters") << QByteArray("\x01\x02\x1b[31mred\x1b[0m") << false;
    QTest::newRow("tabs") << QByteArray("a\tb\t") << false;
    QTest::newRow("no-break spaces are not blank") << QByteArray("\xc2\xa0\xc2\xa0") << false;
    QTest::newRow("CR inside") << QByteArray("a\rb") << false;
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << false;
    QTest::newRow("DEL, quote and backslash") << QByteArray("\x7f\"\\\\\"") << false;
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8"
                                                  "b")
                                    << false;
    QTest::newRow("encoded lone low surrogate") << QByteArray("\xed\xb0\x80") << false;
    QTest::newRow("emoji") << QByteArray("\xf0\x9f\x9b\xb0\xef\xb8\x8f") << false;
    QTest::newRow("tab at position 19") << QByteArray("TARNUPQ8CQCG4XGG4D\t") << true;
    QTest::newRow("control character at position 7") << QByteArray("TARNUP\x01"
                                                                   "8CQCG4XGG4DZ")
                                                     << true;
}

void TestCli::jsonHostile()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isBeacon);
    const QString log = m_dir.filePath(u"hostile.log"_s);
    QVERIFY(writeFile(log, line + "\n"));
    const Run run = runDecoder({ u"--format=json"_s, log });
    QVERIFY(isUtf8(run.out));
    for (const char byte : run.out.chopped(1)) {
        QVERIFY2(uchar(byte) >= 0x20 && byte != 0x7f, run.out);
    }
    const auto objects = parseJsonLines(run.out);
    QVERIFY(objects);
    QCOMPARE(objects->size(), 1);
    QCOMPARE(objects->at(0).value(u"input").toString(), QString::fromUtf8(line));
    QCOMPARE(!objects->at(0).value(u"beacon").isNull(), isBeacon);
    if (isBeacon) {
        const QString frame = objects->at(0).value(u"beacon").toString();
        QCOMPARE(objects->at(0).value(u"report").toString(), goldenLines(frame).join(u"\r\n"_s));
    }
}

void TestCli::quiet_data()
{
    QTest::addColumn<QString>("format");
    for (const QString& format : { u"text"_s, u"csv"_s, u"json"_s }) {
        QTest::newRow(qPrintable(format)) << format;
    }
}

void TestCli::quiet()
{
    QFETCH(QString, format);
    const QString log = m_dir.filePath(u"quiet.log"_s);
    QVERIFY(writeFile(log, "junk\n\xff\nTARNUPQ8CQCG4XGG4DZ\n"));
    const Run loud = runDecoder({ u"-f"_s, format, log });
    const Run quiet = runDecoder({ u"-f"_s, format, u"--quiet"_s, log });
    QVERIFY(!loud.err.isEmpty());
    QCOMPARE(quiet.err, QByteArray());
    QCOMPARE(quiet.out, loud.out);
    QCOMPARE(quiet.exitCode, 1);
}

void TestCli::beaconOption()
{
    const Run run = runDecoder(
        { u"-f"_s, u"json"_s, u"-b"_s, u"tarnup q8cq cg4x gg4d z"_s, u"--beacon"_s, u"nothing"_s });
    const auto objects = parseJsonLines(run.out);
    QVERIFY(objects);
    QCOMPARE(objects->size(), 2);
    QVERIFY(objects->at(0).value(u"file").isNull());
    QCOMPARE(objects->at(0).value(u"line").toInt(), 1);
    QCOMPARE(objects->at(0).value(u"beacon").toString(), u"TARNUPQ8CQCG4XGG4DZ"_s);
    QCOMPARE(objects->at(1).value(u"line").toInt(), 2);
    QVERIFY(objects->at(1).value(u"beacon").isNull());
    QCOMPARE(run.exitCode, 1);

    const Run text = runDecoder({ u"-b"_s, u"nothing"_s, u"-b"_s, u"TARNUP0000000000000"_s });
    QCOMPARE(text.out, textReports({ u"TARNUP0000000000000"_s }));
    QCOMPARE(text.err, QByteArray("tarnup-decode: --beacon 1: not a beacon\n"));
}

void TestCli::standardInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no file") << QStringList { u"-f"_s, u"csv"_s };
    QTest::newRow("dash") << QStringList { u"-f"_s, u"csv"_s, u"-"_s };
}

void TestCli::standardInput()
{
    QFETCH(QStringList, arguments);
    QFile file(dataFile(u"mixed.log"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Run run = runDecoder(arguments, file.readAll());
    const auto records = parseCsv(QString::fromUtf8(run.out));
    QVERIFY(records);
    QCOMPARE(records->size(), 1 + mixedBeacons.size());
    QCOMPARE(records->at(1), csvRow(u"-"_s, 2, u"TARNUPQ8CQCG4XGG4DZ"_s));
    QCOMPARE(run.err, notBeaconWarnings(u"(standard input)"_s, mixedNotBeacons));
    QCOMPARE(run.exitCode, 1);
}

void TestCli::largeLine_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("firstLine");
    QTest::addColumn<bool>("firstIsBeacon");

    const QByteArray junk(qsizetype { 8 } << 20, 'x');
    const QByteArray spacedBeacon = QByteArray(qsizetype { 4 } << 20, ' ') + "TARNUPQ8CQCG4XGG4DZ";
    const QByteArray degrees = QByteArray("\xc2\xb0").repeated(qsizetype { 3 } << 20);
    for (const QString& format : { u"text"_s, u"csv"_s, u"json"_s }) {
        QTest::addRow("%s, 8 MB of junk", qPrintable(format)) << format << junk << false;
        QTest::addRow("%s, beacon after 4 MB of spaces", qPrintable(format))
            << format << spacedBeacon << true;
        QTest::addRow("%s, 6 MB of degree signs", qPrintable(format)) << format << degrees << false;
    }
}

void TestCli::largeLine()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, firstLine);
    QFETCH(bool, firstIsBeacon);
    const QString log = m_dir.filePath(u"large.log"_s);
    QVERIFY(writeFile(log, firstLine + "\nTARNUP0000000000000\n"));
    const Run run = runDecoder({ u"-f"_s, format, log });
    QCOMPARE(run.exitCode, firstIsBeacon ? 0 : 1);
    // JSON reports a line that is not a beacon in the output, not as a warning.
    const bool warned = !firstIsBeacon && format != u"json";
    QCOMPARE(run.err, warned ? notBeaconWarnings(log, { 1 }) : QByteArray());
    QStringList frames;
    if (firstIsBeacon) {
        frames.append(u"TARNUPQ8CQCG4XGG4DZ"_s);
    }
    frames.append(u"TARNUP0000000000000"_s);
    if (format == u"text") {
        QCOMPARE(run.out, textReports(frames));
    } else if (format == u"csv") {
        QList<QStringList> expected { csvHeader() };
        for (qsizetype i = 0; i < frames.size(); ++i) {
            expected.append(csvRow(log, int(i + 3 - frames.size()), frames.at(i)));
        }
        QCOMPARE(parseCsv(QString::fromUtf8(run.out)), expected);
    } else {
        const auto objects = parseJsonLines(run.out);
        QVERIFY(objects);
        QCOMPARE(objects->size(), 2);
        QCOMPARE(objects->at(0).value(u"input").toString(), QString::fromUtf8(firstLine));
        QCOMPARE(objects->at(1).value(u"beacon").toString(), frames.last());
    }
}

void TestCli::longJsonInput_data()
{
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("cut sequence at a slice end")
        << QByteArray(16383, 'x') + "\xe2\x82" + QByteArray(100000, 'y');
    QTest::newRow("pair one byte before a slice end")
        << QByteArray(16383, 'x') + "\xf0\x9f\x98\x80" + QByteArray(100000, 'y');
    QTest::newRow("pair across a slice end")
        << QByteArray(16382, 'x') + "\xf0\x9f\x98\x80" + QByteArray(100000, 'y');
    QTest::newRow("stray continuation bytes") << QByteArray(100000, '\x80');
    QTest::newRow("mixed hostile bytes, repeated")
        << QByteArray("\x01\t\\\"\xed\xa0\x80\xf0\x9f\x98\x80\xc0\xe2\x80\xa8\x7f").repeated(20000);
}

// A long line is echoed from its bytes a slice at a time; the text must be the same as decoded whole.
void TestCli::longJsonInput()
{
    QFETCH(QByteArray, line);
    const QString log = m_dir.filePath(u"long.log"_s);
    QVERIFY(writeFile(log, line + "\n"));
    const Run run = runDecoder({ u"-q"_s, u"-f"_s, u"json"_s, log });
    QCOMPARE(run.exitCode, 1);
    QVERIFY(isUtf8(run.out));
    const auto objects = parseJsonLines(run.out);
    QVERIFY(objects);
    QCOMPARE(objects->size(), 1);
    QCOMPARE(objects->at(0).value(u"input").toString(), QString::fromUtf8(line));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
