// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon_frame.h"

#include "beacon.h"

namespace beacon {

namespace {

// The simple (one-to-one) upper-case mapping of one code unit, locale-independent. Surrogates have
// no case of their own, so a pair is never mapped: halves joined by a removed space stay as they
// were, and a mapping that would leave the BMP is not taken, so positions never shift.
QChar upperCodeUnit(QChar c)
{
    if (c.isSurrogate()) {
        return c;
    }
    const char32_t upper = QChar::toUpper(char32_t { c.unicode() });
    return QChar::requiresSurrogates(upper) ? c : QChar(char16_t(upper));
}

} // namespace

QString normaliseBeacon(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c != u' ') {
            out.append(upperCodeUnit(c));
        }
    }
    return out;
}

bool isBeacon(const QString& normalised)
{
    return normalised.size() == frameLength && normalised.startsWith(framePrefix);
}

} // namespace beacon
