// SPDX-License-Identifier: GPL-3.0-or-later
// Times the History window on a logbook (opening until the table and plot show it, re-plotting
// each field, the longest the event loop stalled meanwhile) and a beacon's way from being found
// to a committed row, through the window's background writer. Medians of RUNS.
//   bench_logbook FILE [RUNS]        (QT_QPA_PLATFORM=offscreen where there is no display)
#include "background_writer.h"
#include "bench_median.h"
#include "history_window.h"
#include "logbook.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Runs the event loop until `done` says so, noting the longest gap between 5 ms ticks.
template<typename Done>
double runUntil(Done&& done)
{
    QElapsedTimer gap;
    gap.start();
    double longest = 0.0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    tick.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return longest;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: bench_logbook FILE [RUNS]\n", stderr);
        return 2;
    }
    const QString& path = args.at(1);
    const int runs = args.size() > 2 ? args.at(2).toInt() : 5;

    std::vector<double> open, stall, plot;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        auto* window = new HistoryWindow(path);
        bool shown = false;
        QObject::connect(window, &HistoryWindow::shown, [&](int count) {
            rows = count;
            shown = true;
        });
        window->resize(1000, 700);
        window->show();
        stall.push_back(runUntil([&] { return shown; }));
        window->findChild<QChartView*>(u"HistoryChart"_s)->grab();
        open.push_back(double(clock.nsecsElapsed()) / 1e6);

        auto* field = window->findChild<QComboBox*>(u"FieldChoice"_s);
        auto* view = window->findChild<QChartView*>(u"HistoryChart"_s);
        for (int i = 0; i < field->count(); ++i) {
            clock.restart();
            field->setCurrentIndex((field->currentIndex() + 1) % field->count());
            view->grab(); // drawn, not only computed
            plot.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        delete window;
    }
    std::printf("history: %d entries; open %.0f ms, longest event-loop stall while loading %.0f ms, "
                "plot a field %.0f ms (medians of %d runs)\n",
        rows, median(open), median(stall), median(plot), runs);

    // Found to committed: the window hands a beacon to its writer thread and hears back.
    std::vector<double> latency;
    {
        logbook::BackgroundWriter writer(path);
        QList<qint64> added;
        QElapsedTimer clock;
        bool done = false;
        QObject::connect(&writer, &logbook::BackgroundWriter::appended, [&](qint64 id, const QString&) {
            latency.push_back(double(clock.nsecsElapsed()) / 1e6);
            added << id;
            done = true;
        });
        QObject::connect(&writer, &logbook::BackgroundWriter::failed, [&](const QString& message) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(message));
            done = true;
        });
        for (int i = 0; i < 200; ++i) {
            logbook::Entry e;
            e.utc = QDateTime::currentDateTimeUtc();
            e.beacon = u"TARNUPQ8CQCG4XGG4DZ"_s;
            e.source = u"udp"_s;
            done = false;
            clock.restart();
            writer.append(e);
            runUntil([&] { return done; });
        }
        logbook::Logbook book;
        if (book.open(path, nullptr)) {
            book.remove(added); // leave the file as it was
        }
    }
    std::ranges::sort(latency);
    std::printf("found to committed row: median %.2f ms, slowest %.2f ms (%zu beacons)\n", median(latency),
        latency.empty() ? 0.0 : latency.back(), latency.size());
    return 0;
}
