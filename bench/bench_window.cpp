// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

using namespace Qt::StringLiterals;

class BenchWindow : public QObject
{
    Q_OBJECT

private slots:
    void keystroke_data();
    void keystroke();
};

void BenchWindow::keystroke_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<char>("key");

    QTest::newRow("completes a beacon") << u"tarnup q8cq cg4x gg4d "_s << 'z';
    QTest::newRow("after a beacon") << u"tarnup q8cq cg4x gg4d z"_s << 'x';
    QTest::newRow("after 64 KB of text") << u"tarnup q8cq cg4x gg4d z\r\n"_s.repeated((1 << 16) / 25) << 'x';
}

// What the user waits for: one key typed into Text2 and taken back, each decoded in full.
void BenchWindow::keystroke()
{
    QFETCH(QString, before);
    QFETCH(char, key);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* text2 = form.findChild<QPlainTextEdit*>(u"Text2"_s);
    text2->setPlainText(before);
    text2->moveCursor(QTextCursor::End);
    QBENCHMARK
    {
        QTest::keyClick(text2, key);
        QTest::keyClick(text2, Qt::Key_Backspace);
    }
}

QTEST_MAIN(BenchWindow)
#include "bench_window.moc"
