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
    QStringDecoder decoder(QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    out.resize(decoder.requiredSpace(bytes.size()));
    QChar* end = decoder.appendToBuffer(out.data(), bytes);
    out.truncate(end - out.constData());
    return !decoder.hasError();
}

bool isBlank(QStringView text)
{
    return std::ranges::all_of(text, [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
    });
}

ReceivedText receiveText(QString text)
{
    ReceivedText received { std::move(text), {}, false };
    if (!beacon::tooLongForBeacon(received.input)) {
        QString normalised = beacon::normaliseBeacon(received.input);
        if (beacon::isBeacon(normalised)) {
            received.frame = std::move(normalised);
        }
    }
    return received;
}

ReceivedText receiveLine(QByteArrayView line)
{
    QString text;
    const bool valid = decodeUtf8(stripLineEnding(line), text);
    ReceivedText received = receiveText(std::move(text));
    received.invalidUtf8 = !valid;
    return received;
}

} // namespace decodecli
