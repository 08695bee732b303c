// SPDX-License-Identifier: GPL-3.0-or-later
// Times what a person feels in the real window: one keystroke from key event to the report
// painted, with a small and a huge input, and start-up to the window on screen. Each sample is
// timed on its own so the figures are medians, not means skewed by the odd slow frame.
#include "form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Figures
{
    double median;
    double p90;
};

Figures summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return { samples[samples.size() / 2], samples[samples.size() * 9 / 10] };
}

void print(const char* name, const Figures& figures, const char* unit)
{
    std::printf("%-48s median %10.3f %s   p90 %10.3f %s\n", name, figures.median, unit, figures.p90, unit);
}

// One keystroke, delivered and painted the way the event loop would: the key event, then the
// pending paint of both fields flushed at once.
double timeKeystroke(QPlainTextEdit& input, QPlainTextEdit& report, Qt::Key key)
{
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(&input, key, Qt::NoModifier);
    input.viewport()->repaint();
    report.viewport()->repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e3;
}

struct Window
{
    Form1 form;
    QPlainTextEdit* text2;
    QPlainTextEdit* text3;

    Window()
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            std::fprintf(stderr, "window was never exposed\n");
        }
        text2 = form.findChild<QPlainTextEdit*>(u"Text2"_s);
        text3 = form.findChild<QPlainTextEdit*>(u"Text3"_s);
    }
};

// Alternating the last symbol makes every timed keystroke complete a new beacon, so each one
// rebuilds and repaints the whole report.
void keystrokeToReport(int samples)
{
    Window window;
    window.text2->setPlainText(u"tarnup q8cq cg4x gg4d "_s);
    window.text2->moveCursor(QTextCursor::End);
    std::vector<double> typed;
    std::vector<double> deleted;
    for (int i = 0; i < samples; ++i) {
        const bool odd = i % 2 != 0;
        typed.push_back(timeKeystroke(*window.text2, *window.text3, odd ? Qt::Key_Z : Qt::Key_Q));
        deleted.push_back(timeKeystroke(*window.text2, *window.text3, Qt::Key_Backspace));
    }
    print("keystroke completing a beacon", summarise(typed), "us");
    print("keystroke breaking it (report stays)", summarise(deleted), "us");
}

void keystrokeWithHugeInput(const char* name, const QString& content, int samples)
{
    Window window;
    window.text2->setPlainText(content);
    window.text2->moveCursor(QTextCursor::End);
    QCoreApplication::processEvents();
    std::vector<double> typed;
    for (int i = 0; i < samples; ++i) {
        typed.push_back(timeKeystroke(*window.text2, *window.text3, Qt::Key_X));
        typed.push_back(timeKeystroke(*window.text2, *window.text3, Qt::Key_Backspace));
    }
    std::vector<double> ms(typed.size());
    std::transform(typed.begin(), typed.end(), ms.begin(), [](double us) { return us / 1e3; });
    print(name, summarise(ms), "ms");
}

void startUp(int samples)
{
    std::vector<double> shown;
    for (int i = 0; i < samples; ++i) {
        QElapsedTimer timer;
        timer.start();
        Form1 form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            std::fprintf(stderr, "window was never exposed\n");
        }
        form.repaint();
        shown.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    print("window constructed to shown and painted", summarise(shown), "ms");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    startUp(std::min(samples, 50));
    keystrokeToReport(samples);

    const QString lines = u"tarnup q8cq cg4x gg4d z\n"_s.repeated((1 << 20) / 24);
    keystrokeWithHugeInput("keystroke with 1 MB of beacon lines", lines, std::min(samples, 50));
    const QString oneLine = u"tarnup q8cq cg4x gg4d z "_s.repeated((1 << 20) / 24);
    keystrokeWithHugeInput("keystroke with 1 MB on one wrapped line", oneLine, std::min(samples, 50));
    return 0;
}
