// SPDX-License-Identifier: GPL-3.0-or-later
// Beacons as a listener would collect them over passes of the satellite: every field's level
// drifts with the orbit (95 minutes) and more slowly over the days. Reproducible (fixed seed).
//   make-beacon-week --text COUNT > beacons.txt            one beacon a line
//   make-beacon-week --log FILE COUNT [DAYS]                a logbook (default 7 days from 2026-11-30)
#include "field_table.h"
#include "logbook.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double orbitSeconds = 95.0 * 60.0;
constexpr int passesPerDay = 5;
constexpr double passSeconds = 10.0 * 60.0;

// The symbols of each field, one per level, lowest level first.
std::vector<std::vector<char16_t>> symbolsByLevel()
{
    std::vector<std::vector<char16_t>> fields;
    fields.reserve(beacon::fieldTables().size());
    for (const beacon::FieldTable& table : beacon::fieldTables()) {
        std::map<int, char16_t> byLevel;
        for (const beacon::FieldRow& row : table.rows) {
            if (const auto level = beacon::fieldLevel(table, QChar(row.symbol))) {
                byLevel.emplace(*level, row.symbol);
            }
        }
        std::vector<char16_t> symbols;
        symbols.reserve(byLevel.size());
        for (const auto& [level, symbol] : byLevel) {
            symbols.push_back(symbol);
        }
        fields.push_back(symbols);
    }
    return fields;
}

QString beaconAt(double seconds, std::mt19937_64& random)
{
    static const auto fields = symbolsByLevel();
    std::normal_distribution<double> noise(0.0, 0.06);
    QString frame(19, u'X'); // position 14 carries no field
    frame.replace(0, 6, u"TARNUP"_s);
    const auto tables = beacon::fieldTables();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::vector<char16_t>& symbols = fields[i];
        if (symbols.empty()) {
            continue;
        }
        const double phase = double(i) * 0.9;
        const double orbit = std::sin(2.0 * std::numbers::pi * seconds / orbitSeconds + phase);
        const double days = std::sin(2.0 * std::numbers::pi * seconds / (3.5 * 86400.0) + phase);
        // The mode changes seldom; everything else follows the orbit.
        const double share = i == 0 ? 0.85 + 0.15 * days : 0.5 + 0.3 * orbit + 0.12 * days + noise(random);
        const auto level = std::size_t(std::lround(std::clamp(share, 0.0, 1.0) * double(symbols.size() - 1)));
        frame[tables[i].position - 1] = QChar(symbols[level]);
    }
    return frame;
}

// When each of `count` beacons was heard: evenly spread over the passes of `days` days.
std::vector<double> receptionTimes(qint64 count, int days, std::mt19937_64& random)
{
    std::uniform_real_distribution<double> within(0.0, 86400.0 / passesPerDay - passSeconds);
    std::vector<double> passStarts;
    passStarts.reserve(std::size_t(days) * passesPerDay);
    for (int day = 0; day < days; ++day) {
        for (int pass = 0; pass < passesPerDay; ++pass) {
            passStarts.push_back(day * 86400.0 + pass * 86400.0 / passesPerDay + within(random));
        }
    }
    const qint64 perPass =
        std::max<qint64>(1, (count + qint64(passStarts.size()) - 1) / qint64(passStarts.size()));
    std::vector<double> times;
    times.reserve(std::size_t(count));
    for (qint64 i = 0; i < count; ++i) {
        const double start = passStarts[std::size_t(i / perPass) % passStarts.size()];
        times.push_back(start + double(i % perPass) * passSeconds / double(perPass));
    }
    return times;
}

int usage()
{
    std::fputs("usage: make-beacon-week --text COUNT > FILE\n"
               "       make-beacon-week --log FILE COUNT [DAYS]\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    std::mt19937_64 random(20261207);
    if (args.size() == 3 && args.at(1) == u"--text") {
        const qint64 count = args.at(2).toLongLong();
        QTextStream out(stdout);
        for (const double t : receptionTimes(count, 7, random)) {
            out << beaconAt(t, random) << '\n';
        }
        return 0;
    }
    if ((args.size() == 4 || args.size() == 5) && args.at(1) == u"--log") {
        const qint64 count = args.at(3).toLongLong();
        const int days = args.size() == 5 ? args.at(4).toInt() : 7;
        logbook::Logbook book;
        QString error;
        if (!book.open(args.at(2), &error)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(error));
            return 1;
        }
        const QDateTime start(QDate(2026, 11, 30), QTime(0, 0), Qt::UTC);
        const QStringList sources { u"soundcard"_s, u"udp"_s, u"recording"_s };
        std::normal_distribution<double> snr(8.0, 4.0);
        for (const double t : receptionTimes(count, days, random)) {
            logbook::Entry e;
            e.utc = start.addMSecs(qint64(t * 1000.0));
            e.beacon = beaconAt(t, random);
            e.source = sources.at(qsizetype(random() % 3));
            e.wpm = 18.0;
            e.toneHz = 800.0;
            e.snrDb = snr(random);
            e.minConfidence = 0.9;
            if (!book.append(e, &error)) {
                std::fprintf(stderr, "%s\n", qUtf8Printable(error));
                return 1;
            }
        }
        return 0;
    }
    return usage();
}
