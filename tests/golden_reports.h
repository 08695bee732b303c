// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reports of data/golden-reports.txt, written out from the published field tables, and the
// report of any other frame put together from their lines: the tests' own account of what the
// decoder must show, independent of its tables.

#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct GoldenReport
{
    QString input; // as typed
    QStringList lines; // the 13 report lines

    QString frame() const { return lines.first().sliced(QStringLiteral("CW beacon: ").size()); }
    QString report(const QString& lineBreak = QStringLiteral("\r\n")) const { return lines.join(lineBreak); }
};

inline const QList<GoldenReport>& goldenReports()
{
    static const QList<GoldenReport> reports = [] {
        QFile file(QStringLiteral(TARNUP_TEST_DATA "/golden-reports.txt"));
        if (!file.open(QIODevice::ReadOnly)) {
            qFatal("cannot read %s", qPrintable(file.fileName()));
        }
        QList<GoldenReport> read;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (line.startsWith(u"input: ")) {
                read.append({ line.sliced(7), {} });
            } else if (!line.isEmpty() && !line.startsWith(u'#') && !read.isEmpty()) {
                read.last().lines.append(line);
            }
        }
        for (const GoldenReport& report : read) {
            if (report.lines.size() != 13) {
                qFatal("golden report for '%s' has %lld lines", qPrintable(report.input),
                    static_cast<long long>(report.lines.size()));
            }
        }
        return read;
    }();
    return reports;
}

// Frame positions of report lines 2 to 13.
inline constexpr std::array<int, 12> goldenPositions { 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19 };

// The 13 lines for `frame` (19 characters): each field's line for a level symbol as some golden
// report shows it, and for any other character as the last report, which holds no symbol, does.
inline QStringList goldenLines(const QString& frame)
{
    static const auto byField = [] {
        std::array<QHash<QChar, QString>, goldenPositions.size()> lines;
        for (const GoldenReport& report : goldenReports()) {
            const QString golden = report.frame();
            for (std::size_t f = 0; f < goldenPositions.size(); ++f) {
                lines[f].insert(golden.at(goldenPositions[f] - 1), report.lines.at(qsizetype(f) + 1));
            }
        }
        return lines;
    }();
    const GoldenReport& fallbacks = goldenReports().last();
    QStringList lines { QStringLiteral("CW beacon: ") + frame };
    for (std::size_t f = 0; f < goldenPositions.size(); ++f) {
        const QChar symbol = frame.at(goldenPositions[f] - 1);
        const bool level = QStringLiteral("DF2G4C6Q8Z").contains(symbol);
        lines.append(level ? byField[f].value(symbol) : fallbacks.lines.at(qsizetype(f) + 1));
    }
    return lines;
}

// As the window and tarnup-decode clean a typed text made of ASCII: spaces out, upper case.
inline QString goldenFrame(const QString& input)
{
    return QString(input).remove(u' ').toUpper();
}
