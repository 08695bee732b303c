// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstring>

namespace decodecli {

// Cuts a byte stream into lines at LF, whatever the sizes of the chunks it arrives in.
class LineSplitter
{
public:
    // Calls `onLine(QByteArrayView)` for each line that `chunk` completes, its LF still on.
    template<typename OnLine>
    void feed(QByteArrayView chunk, OnLine&& onLine)
    {
        while (!chunk.isEmpty()) {
            const auto* lf = static_cast<const char*>(std::memchr(chunk.data(), '\n', chunk.size()));
            if (!lf) {
                m_pending.append(chunk);
                return;
            }
            const QByteArrayView line = chunk.first(lf - chunk.data() + 1);
            chunk = chunk.sliced(line.size());
            if (m_pending.isEmpty()) {
                onLine(line);
            } else {
                m_pending.append(line);
                onLine(QByteArrayView(m_pending));
                m_pending.clear();
            }
        }
    }

    // Calls `onLine` for the last line when the stream did not end with LF.
    template<typename OnLine>
    void finish(OnLine&& onLine)
    {
        if (!m_pending.isEmpty()) {
            onLine(QByteArrayView(m_pending));
            m_pending.clear();
        }
    }

private:
    QByteArray m_pending;
};

// `line` without a final LF or CR LF; any other CR is text and stays.
QByteArrayView stripLineEnding(QByteArrayView line);

// The first line of a file without the UTF-8 byte order mark some editors put in front of it.
QByteArrayView stripByteOrderMark(QByteArrayView firstLine);

// `bytes` as UTF-16 in `out`; false when some were not UTF-8 and became U+FFFD.
bool decodeUtf8(QByteArrayView bytes, QString& out);

// How many of the first bytes of `bytes` (a few kilobytes at most) to decode at once so that no
// sequence of up to four bytes is cut.
qsizetype utf8SliceLength(QByteArrayView bytes);

// Decodes `bytes` as decodeUtf8 does, but a slice at a time into one small buffer, calling
// `onSlice(QStringView)` for each; the slices put together equal the whole decoded text. False when
// some bytes were not UTF-8.
template<typename OnSlice>
bool decodeUtf8Slices(QByteArrayView bytes, OnSlice&& onSlice)
{
    bool valid = true;
    QString slice;
    while (!bytes.isEmpty()) {
        const qsizetype length = utf8SliceLength(bytes);
        valid = decodeUtf8(bytes.first(length), slice) && valid;
        onSlice(QStringView(slice));
        bytes = bytes.sliced(length);
    }
    return valid;
}

// True when `text` holds nothing but ASCII white space: spaces, tabs, CR, vertical tabs, form feeds.
bool isBlank(QStringView text);

// One received text, taken as the window takes the text of its input field.
struct ReceivedText
{
    QString input; // as received, line ending removed; null when the caller did not keep it
    QByteArrayView bytes; // the line as read, ending removed; valid only while it is handled
    QString frame; // the normalised beacon; null when the text is not one
    bool blank = false; // empty or white space only
    bool invalidUtf8 = false;

    bool isBeacon() const { return !frame.isNull(); }
};

// Decodes `text`; `frame` is set when it is a beacon.
ReceivedText receiveText(QString text);

// What a caller needs of a line besides its frame.
enum class KeepInput { always, whenShort };

// Decodes one line of a log: ending removed, UTF-8 decoded, then as receiveText. With
// KeepInput::whenShort a long line that cannot be a beacon is only scanned, its input left null.
ReceivedText receiveLine(QByteArrayView line, KeepInput keep = KeepInput::always);

} // namespace decodecli
