// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_frame.h"

#include "beacon.h"

namespace beacon {

namespace {

// The simple (one-to-one) upper-case mapping, locale-independent. A mapping that would
// change the number of code units is not taken, so positions never shift.
void appendUpper(QString& out, char32_t codePoint)
{
    const char32_t upper = QChar::toUpper(codePoint);
    if (QChar::requiresSurrogates(upper) == QChar::requiresSurrogates(codePoint)) {
        out.append(QChar::fromUcs4(upper));
    } else {
        out.append(QChar::fromUcs4(codePoint));
    }
}

} // namespace

QString normaliseBeacon(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == u' ') {
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            appendUpper(out, QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
            continue;
        }
        // A lone surrogate has no case and stays as it is.
        if (c.isSurrogate()) {
            out.append(c);
        } else {
            appendUpper(out, c.unicode());
        }
    }
    return out;
}

bool isBeacon(const QString& normalised)
{
    return normalised.size() == frameLength && normalised.startsWith(framePrefix);
}

} // namespace beacon
