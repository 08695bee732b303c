// SPDX-License-Identifier: GPL-3.0-or-later
#include "history_csv.h"

#include "output_format.h"

using namespace Qt::StringLiterals;

QByteArray historyCsv(std::span<const logbook::Entry> entries)
{
    QByteArray out;
    decodecli::appendCsvHeader(out, { u"utc"_s, u"source"_s });
    for (const logbook::Entry& e : entries) {
        const decodecli::Origin origin(e.file);
        decodecli::appendCsvRecord(out, origin, e.beacon, { logbook::utcText(e.utc), e.source });
    }
    return out;
}
