// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_format.h"

#include "beacon.h"
#include "beacon_frame.h"
#include "field_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace decodecli {

namespace {

constexpr char16_t replacementCharacter = 0xfffd;

// Text is written in slices so that a huge line never needs its worst-case size reserved at once.
constexpr qsizetype sliceLength = 4096;

// Grows `out` by `extra` bytes and returns where they start; the caller truncates what it left.
char* growBy(QByteArray& out, qsizetype extra)
{
    const qsizetype used = out.size();
    out.resize(used + extra);
    return out.data() + used;
}

// `text` split into slices that never separate the two halves of a surrogate pair.
template<typename OnSlice>
void forEachSlice(QStringView text, OnSlice&& onSlice)
{
    while (!text.isEmpty()) {
        qsizetype length = std::min(text.size(), sliceLength);
        if (length < text.size() && text.at(length - 1).isHighSurrogate()) {
            ++length;
        }
        onSlice(text.first(length));
        text = text.sliced(length);
    }
}

char* putUtf8(char* p, char32_t codePoint)
{
    if (codePoint < 0x80) {
        *p++ = char(codePoint);
    } else if (codePoint < 0x800) {
        *p++ = char(0xc0 | (codePoint >> 6));
        *p++ = char(0x80 | (codePoint & 0x3f));
    } else if (codePoint < 0x10000) {
        *p++ = char(0xe0 | (codePoint >> 12));
        *p++ = char(0x80 | ((codePoint >> 6) & 0x3f));
        *p++ = char(0x80 | (codePoint & 0x3f));
    } else {
        *p++ = char(0xf0 | (codePoint >> 18));
        *p++ = char(0x80 | ((codePoint >> 12) & 0x3f));
        *p++ = char(0x80 | ((codePoint >> 6) & 0x3f));
        *p++ = char(0x80 | (codePoint & 0x3f));
    }
    return p;
}

// Printable ASCII other than quote, backslash and DEL: the code units every encoder here copies
// as they are.
bool isPlain(char16_t unit)
{
    return unit < 0x80 && unit >= 0x20 && unit != u'"' && unit != u'\\' && unit != 0x7f;
}

// isPlain for the four code units at `units` at once, the common case in reports and logs. Each
// test looks at the top bit of every 16-bit lane; a lane borrows from the next only when it is
// itself caught, so no lane is misjudged.
bool fourPlain(const char16_t* units)
{
    std::uint64_t x = 0;
    std::memcpy(&x, units, sizeof x);
    constexpr std::uint64_t ones = 0x0001000100010001;
    constexpr std::uint64_t highs = ones * 0x8000;
    const auto anyBelow = [](std::uint64_t lanes, std::uint64_t bound) {
        return ((lanes - ones * bound) & ~lanes & highs) != 0;
    };
    const auto anyEqual = [&](char16_t c) { return anyBelow(x ^ (ones * c), 1); };
    return (x & (ones * 0xff80)) == 0 && !anyBelow(x, 0x20) && !anyEqual(u'"') && !anyEqual(u'\\') &&
        !anyEqual(0x7f);
}

char* putReplacement(char* p, char16_t)
{
    return putUtf8(p, replacementCharacter);
}

// Encodes `text` one code point at a time. `special(p, unit)` may write a code unit of the BMP its
// own way and return the new end, or return nullptr to leave it to UTF-8; `lone(p, unit)` writes a
// surrogate without its partner.
template<typename Special>
void appendEncoded(QByteArray& out, QStringView text, qsizetype maxBytesPerUnit, Special&& special,
    char* (*lone)(char*, char16_t) = putReplacement)
{
    forEachSlice(text, [&](QStringView slice) {
        char* const start = growBy(out, slice.size() * maxBytesPerUnit);
        char* p = start;
        const qsizetype size = slice.size();
        const char16_t* units = slice.utf16();
        for (qsizetype i = 0; i < size; ++i) {
            while (i + 4 <= size && fourPlain(units + i)) {
                for (int k = 0; k < 4; ++k) {
                    *p++ = char(units[i + k]);
                }
                i += 4;
            }
            if (i == size) {
                break;
            }
            const char16_t unit = units[i];
            if (isPlain(unit)) {
                *p++ = char(unit);
                continue;
            }
            if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
                p = putUtf8(p, QChar::surrogateToUcs4(unit, units[i + 1]));
                ++i;
            } else if (QChar::isSurrogate(unit)) {
                p = lone(p, unit);
            } else if (char* end = special(p, unit)) {
                p = end;
            } else {
                p = putUtf8(p, unit);
            }
        }
        out.truncate(out.size() - (slice.size() * maxBytesPerUnit - (p - start)));
    });
}

char* putHexEscape(char* p, char16_t unit)
{
    constexpr char hex[] = "0123456789abcdef";
    *p++ = '\\';
    *p++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4) {
        *p++ = hex[(unit >> shift) & 0xf];
    }
    return p;
}

// Escapes what JSON forbids raw (quote, backslash, C0 controls) and what its readers trip over:
// DEL, the two line separators JavaScript treats as line ends, surrogates without a partner, and
// U+FEFF, which some readers (QJsonDocument among them) drop from the start of a string.
void appendJsonBody(QByteArray& out, QStringView text)
{
    appendEncoded(
        out, text, 6,
        [](char* p, char16_t unit) -> char* {
            switch (unit) {
            case u'"':
                *p++ = '\\';
                *p++ = '"';
                return p;
            case u'\\':
                *p++ = '\\';
                *p++ = '\\';
                return p;
            case u'\n':
                *p++ = '\\';
                *p++ = 'n';
                return p;
            case u'\r':
                *p++ = '\\';
                *p++ = 'r';
                return p;
            case u'\t':
                *p++ = '\\';
                *p++ = 't';
                return p;
            default:
                break;
            }
            if (unit < 0x20 || unit == 0x7f || unit == 0x2028 || unit == 0x2029 || unit == 0xfeff) {
                return putHexEscape(p, unit);
            }
            return nullptr;
        },
        putHexEscape);
}

void appendNumber(QByteArray& out, qint64 number)
{
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
    out.append(digits, result.ptr - digits);
}

bool csvNeedsQuotes(QStringView cell)
{
    if (cell.isEmpty()) {
        return false;
    }
    const auto trimmable = [](QChar c) { return c == u' ' || c == u'\t'; };
    if (trimmable(cell.front()) || trimmable(cell.back())) {
        return true;
    }
    // Other control characters are legal inside a field but confuse readers less when quoted.
    return std::ranges::any_of(
        cell, [](QChar c) { return c == u',' || c == u'"' || c < u' ' || c == u'\x7f'; });
}

// What each field writes for a symbol, as ready bytes; ASCII symbols, the only ones the satellite
// sends, are looked up once, anything else is built on the spot.
struct FieldOutput
{
    static constexpr char16_t cachedSymbols = 0x80;

    static QByteArray json(const beacon::FieldTable& table, QChar symbol)
    {
        QByteArray out = "{\"position\":";
        appendNumber(out, table.position);
        out.append(",\"name\":");
        appendJsonString(out, table.name);
        out.append(",\"symbol\":");
        appendJsonString(out, QStringView(&symbol, 1));
        out.append(",\"level\":");
        if (const auto level = beacon::fieldLevel(table, symbol)) {
            appendNumber(out, *level);
        } else {
            out.append("null");
        }
        out.append(",\"text\":");
        appendJsonString(out, beacon::fieldText(table, symbol));
        out.append('}');
        return out;
    }

    static QByteArray csv(const beacon::FieldTable& table, QChar symbol)
    {
        QByteArray out;
        appendCsvField(out, beacon::fieldValue(table, symbol));
        return out;
    }

    static QByteArray text(const beacon::FieldTable& table, QChar symbol)
    {
        QByteArray out;
        appendUtf8(out, beacon::fieldText(table, symbol));
        out.append('\n');
        return out;
    }

    explicit FieldOutput(const beacon::FieldTable& field)
        : table(&field)
    {
        for (char16_t c = 0; c < cachedSymbols; ++c) {
            jsonOf[c] = json(field, QChar(c));
            csvOf[c] = csv(field, QChar(c));
            textOf[c] = text(field, QChar(c));
        }
    }

    template<QByteArray (*Build)(const beacon::FieldTable&, QChar)>
    void append(QByteArray& out, const std::array<QByteArray, cachedSymbols>& cache, QChar symbol) const
    {
        if (symbol.unicode() < cachedSymbols) {
            out.append(cache[symbol.unicode()]);
        } else {
            out.append(Build(*table, symbol));
        }
    }

    void appendJson(QByteArray& out, QChar symbol) const { append<json>(out, jsonOf, symbol); }
    void appendCsv(QByteArray& out, QChar symbol) const { append<csv>(out, csvOf, symbol); }
    void appendText(QByteArray& out, QChar symbol) const { append<text>(out, textOf, symbol); }

    const beacon::FieldTable* table;
    std::array<QByteArray, cachedSymbols> jsonOf;
    std::array<QByteArray, cachedSymbols> csvOf;
    std::array<QByteArray, cachedSymbols> textOf;
};

const std::vector<FieldOutput>& fieldOutputs()
{
    static const std::vector<FieldOutput> outputs = [] {
        std::vector<FieldOutput> built;
        for (const beacon::FieldTable& table : beacon::fieldTables()) {
            built.emplace_back(table);
        }
        return built;
    }();
    return outputs;
}

QChar symbolOf(const FieldOutput& field, QStringView frame)
{
    return beacon::symbolAt(frame, field.table->position);
}

void appendJsonStringOrNull(QByteArray& out, const QString& text)
{
    if (text.isNull()) {
        out.append("null");
    } else {
        appendJsonString(out, text);
    }
}

void appendMeasurement(QByteArray& out, const Measurement& measured)
{
    out.append(",\"time\":").append(QByteArray::number(measured.time, 'f', 2));
    if (measured.utc.isValid()) {
        out.append(R"(,"utc":")")
            .append(measured.utc.toUTC().toString(Qt::ISODateWithMs).toLatin1())
            .append('"');
    }
    out.append(",\"wpm\":").append(QByteArray::number(measured.wpm, 'f', 1));
    out.append(",\"tone_hz\":").append(QByteArray::number(measured.toneHz, 'f', 1));
    out.append(",\"snr_db\":").append(QByteArray::number(measured.snrDb, 'f', 1));
    out.append(",\"confidence\":[");
    for (std::size_t i = 0; i < measured.confidence.size(); ++i) {
        if (i > 0) {
            out.append(',');
        }
        out.append(QByteArray::number(measured.confidence[i], 'f', 3));
    }
    out.append(']');
}

} // namespace

Origin::Origin(const QString& file)
    : m_file(file)
{
    appendJsonStringOrNull(m_jsonFile, file);
    appendCsvField(m_csvFile, file);
}

void appendUtf8(QByteArray& out, QStringView text)
{
    appendEncoded(out, text, 3, [](char* p, char16_t unit) -> char* {
        if (unit == u'"' || unit == u'\\' || unit < 0x20 || unit == 0x7f) {
            *p++ = char(unit);
            return p;
        }
        return nullptr;
    });
}

void appendJsonString(QByteArray& out, QStringView text)
{
    out.append('"');
    appendJsonBody(out, text);
    out.append('"');
}

void appendCsvField(QByteArray& out, QStringView cell)
{
    if (!csvNeedsQuotes(cell)) {
        appendUtf8(out, cell);
        return;
    }
    out.append('"');
    appendEncoded(out, cell, 3, [](char* p, char16_t unit) -> char* {
        if (unit == u'"') {
            *p++ = '"';
            *p++ = '"';
            return p;
        }
        if (unit == u'\\' || unit < 0x20 || unit == 0x7f) {
            *p++ = char(unit);
            return p;
        }
        return nullptr;
    });
    out.append('"');
}

void appendTextReport(QByteArray& out, QStringView frame)
{
    appendUtf8(out, beacon::beaconLine(frame));
    out.append('\n');
    for (const FieldOutput& field : fieldOutputs()) {
        field.appendText(out, symbolOf(field, frame));
    }
}

void appendJsonRecord(QByteArray& out, const Origin& origin, const ReceivedText& received,
    const std::function<void()>& drain, const Measurement* measurement)
{
    out.append("{\"file\":");
    out.append(origin.jsonFile());
    out.append(",\"line\":");
    appendNumber(out, origin.line);
    out.append(",\"input\":");
    if (received.input.isNull() && !received.bytes.isEmpty()) {
        out.append('"');
        decodeUtf8Slices(received.bytes, [&](QStringView slice) {
            appendJsonBody(out, slice);
            if (drain) {
                drain();
            }
        });
        out.append('"');
    } else {
        appendJsonString(out, received.input);
    }
    out.append(",\"beacon\":");
    appendJsonStringOrNull(out, received.frame);
    if (received.isBeacon()) {
        out.append(",\"fields\":[");
        bool first = true;
        for (const FieldOutput& field : fieldOutputs()) {
            if (!first) {
                out.append(',');
            }
            first = false;
            field.appendJson(out, symbolOf(field, received.frame));
        }
        out.append("],\"report\":");
        appendJsonString(out, beacon::buildReport(received.frame));
    } else {
        out.append(R"(,"fields":null,"report":null)");
    }
    if (measurement) {
        appendMeasurement(out, *measurement);
    }
    out.append("}\n");
}

void appendCsvHeader(QByteArray& out, const QStringList& extraColumns)
{
    out.append("file,line,beacon");
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        out.append(',');
        appendCsvField(out, table.name);
    }
    for (const QString& column : extraColumns) {
        out.append(',');
        appendCsvField(out, column);
    }
    out.append("\r\n");
}

void appendCsvRecord(QByteArray& out, const Origin& origin, QStringView frame, const QStringList& extraCells)
{
    out.append(origin.csvFile());
    out.append(',');
    if (origin.line != 0) {
        appendNumber(out, origin.line);
    }
    out.append(',');
    appendCsvField(out, frame);
    for (const FieldOutput& field : fieldOutputs()) {
        out.append(',');
        field.appendCsv(out, symbolOf(field, frame));
    }
    for (const QString& cell : extraCells) {
        out.append(',');
        appendCsvField(out, cell);
    }
    out.append("\r\n");
}

} // namespace decodecli
