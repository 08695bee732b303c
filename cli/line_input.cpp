// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_input.h"

#include "beacon.h"

#include <QStringDecoder>

#include <algorithm>

namespace decodecli {

QByteArrayView stripLineEnding(QByteArrayView line)
{
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return line;
}

QByteArrayView stripByteOrderMark(QByteArrayView firstLine)
{
    constexpr QByteArrayView byteOrderMark = "\xEF\xBB\xBF";
    if (firstLine.startsWith(byteOrderMark)) {
        firstLine = firstLine.sliced(byteOrderMark.size());
    }
    return firstLine;
}

bool decodeUtf8(QByteArrayView bytes, QString& out)
{
    // Stateless, so a sequence cut off at the end of the line is an error of this line; a BOM
    // here is text, as it would be in the window.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    out.resize(decoder.requiredSpace(bytes.size()));
    QChar* end = decoder.appendToBuffer(out.data(), bytes);
    out.truncate(end - out.constData());
    return !decoder.hasError();
}

// A sequence is cut only where a byte that is not a continuation byte starts the next one, or
// after more continuation bytes than any sequence has; either way each slice holds an error
// exactly where the whole text does, so the slices decode to the same code units.
qsizetype utf8SliceLength(QByteArrayView bytes)
{
    constexpr qsizetype sliceBytes = qsizetype { 16 } * 1024;
    constexpr qsizetype maxContinuationBytes = 3;
    const auto isContinuation = [](char byte) { return (uchar(byte) & 0xc0) == 0x80; };
    qsizetype length = std::min(bytes.size(), sliceBytes);
    for (qsizetype extra = 0;
         extra < maxContinuationBytes && length < bytes.size() && isContinuation(bytes.at(length)); ++extra) {
        ++length;
    }
    return length;
}

namespace {

bool isBlankCharacter(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

// Lines longer than this are first scanned in slices when their text is not wanted, so a huge
// line never needs its UTF-16 copy.
constexpr qsizetype longLine = qsizetype { 64 } * 1024;

struct LineScan
{
    bool tooLong = false; // some slice alone is too long for a beacon, so the whole line is
    bool blank = true;
    bool invalidUtf8 = false;
};

LineScan scanLine(QByteArrayView bytes)
{
    LineScan scan;
    scan.invalidUtf8 = !decodeUtf8Slices(bytes, [&scan](QStringView slice) {
        scan.tooLong = scan.tooLong || beacon::tooLongForBeacon(slice);
        scan.blank = scan.blank && isBlank(slice);
    });
    return scan;
}

} // namespace

bool isBlank(QStringView text)
{
    return std::ranges::all_of(text, isBlankCharacter);
}

ReceivedText receiveText(QString text)
{
    ReceivedText received { std::move(text), {}, {}, false, false };
    received.blank = isBlank(received.input);
    if (!received.blank && !beacon::tooLongForBeacon(received.input)) {
        QString normalised = beacon::normaliseBeacon(received.input);
        if (beacon::isBeacon(normalised)) {
            received.frame = std::move(normalised);
        }
    }
    return received;
}

ReceivedText receiveLine(QByteArrayView line, KeepInput keep)
{
    line = stripLineEnding(line);
    if (keep == KeepInput::whenShort && line.size() > longLine) {
        const LineScan scan = scanLine(line);
        if (scan.tooLong || scan.blank) {
            return ReceivedText { {}, line, {}, scan.blank, scan.invalidUtf8 };
        }
    }
    QString text;
    const bool valid = decodeUtf8(line, text);
    ReceivedText received = receiveText(std::move(text));
    received.bytes = line;
    received.invalidUtf8 = !valid;
    return received;
}

} // namespace decodecli
