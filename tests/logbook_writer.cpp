// SPDX-License-Identifier: GPL-3.0-or-later
// Appends beacons to a logbook one transaction each and prints the id of every committed row, so
// that a test can kill it at any moment and know what must have survived.
#include "logbook.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: logbook_writer FILE COUNT SOURCE\n");
        return 2;
    }
    logbook::Logbook book;
    QString error;
    if (!book.open(arguments.at(1), &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 2;
    }
    const int count = arguments.at(2).toInt();
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        logbook::Entry e;
        e.utc = start.addMSecs(qint64 { i } * 1500);
        e.beacon = u"TARNUPQ8CQCG4XGG4DZ"_s;
        e.source = arguments.at(3);
        e.offsetS = i * 1.5;
        const auto id = book.append(e, &error);
        if (!id) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(error));
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(*id));
        std::fflush(stdout);
    }
    return 0;
}
