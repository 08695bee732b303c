// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_field.h"
#include "form1.h"
#include "golden_reports.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString beaconA = u"TARNUPQ8CQCG4XGG4DZ"_s;
const QString beaconB = u"TARNUP0000000000000"_s;

QString reportFor(const QString& input)
{
    return goldenLines(goldenFrame(input)).join(u"\r\n"_s);
}

enum Edit { typeKeys, deleteKey, backspaceKey, cutKeys, pasteKeys, undoKeys, redoKeys, dropText };

// Drops `text` from another program at `position`, as a mouse would.
void dropOnto(QPlainTextEdit* edit, int position, const QString& text)
{
    QTextCursor at = edit->textCursor();
    at.setPosition(position);
    const QPoint point = edit->cursorRect(at).center();
    QMimeData data;
    data.setText(text);
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(edit->viewport(), &enter);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(edit->viewport(), &move);
    QDropEvent dropped(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(edit->viewport(), &dropped);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void window();
    void focus();
    void typingKeyByKey_data();
    void typingKeyByKey();
    void keyAfterBeacon_data();
    void keyAfterBeacon();
    void typedLineBreak_data();
    void typedLineBreak();
    void paste_data();
    void paste();
    void pasteOverSelectionAndUndo();
    void everyEditDecodes_data();
    void everyEditDecodes();
    void reportFitsText3_data();
    void reportFitsText3();
    void userTextInText3_data();
    void userTextInText3();
    void exit_data();
    void exit();

private: // NOLINT(readability-redundant-access-specifiers): to moc these are no test functions
    template<typename T = QPlainTextEdit>
    T* child(const QString& name) const
    {
        T* found = form->findChild<T*>(name);
        if (!found) {
            qFatal("no child %s", qPrintable(name));
        }
        return found;
    }
    QPlainTextEdit* text2() const { return child(u"Text2"_s); }
    QPlainTextEdit* text3() const { return child(u"Text3"_s); }
    QString input() const { return EditField(*text2()).text(); }
    QString report() const { return EditField(*text3()).text(); }
    void pasteIntoText2(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keySequence(text2(), QKeySequence::Paste);
    }

    Form1* form = nullptr;
};

void TestMainWindow::init()
{
    form = new Form1;
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QGuiApplication::clipboard()->clear();
}

void TestMainWindow::cleanup()
{
    delete form;
    form = nullptr;
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("label") << u"Label2"_s << QRect(8, 8, 113, 17);
    QTest::newRow("input") << u"Text2"_s << QRect(128, 0, 281, 25);
    QTest::newRow("report") << u"Text3"_s << QRect(8, 40, 401, 185);
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    auto* control = child<QWidget>(name);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->parentWidget(), form->centralWidget());
    if (auto* field = qobject_cast<QPlainTextEdit*>(control)) {
        QCOMPARE(field->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(field->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(field->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(!field->isReadOnly());
        QVERIFY(!field->accessibleName().isEmpty());
    }
}

void TestMainWindow::window()
{
    QCOMPARE(form->objectName(), u"Form1"_s);
    QCOMPARE(form->windowTitle(), u"TARNU-PII CW Telemetry Decoder [GYPRI]"_s);
    QCOMPARE(form->centralWidget()->size(), QSize(417, 233));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->palette().color(QPalette::Window), QColor(240, 240, 240));
    QCOMPARE(child<QLabel>(u"Label2"_s)->text(), u"received CW string:"_s);
    QCOMPARE(text2()->accessibleName(), child<QLabel>(u"Label2"_s)->text());

    const QImage icon = form->windowIcon().pixmap(128).toImage();
    QCOMPARE(icon.size(), QSize(128, 128));
    QVERIFY(!icon.hasAlphaChannel());

    // "Courier New" itself or its metric twin, never a proportional stand-in.
    const QFontInfo inputFont(text2()->font());
    QVERIFY2(inputFont.family() == "Courier New"_L1 || inputFont.family() == "Liberation Mono"_L1,
        qPrintable(inputFont.family()));
    QVERIFY(inputFont.fixedPitch());
    QCOMPARE(inputFont.bold(), true);
    QCOMPARE(text2()->font().pointSizeF(), 8.25);
    QCOMPARE(text2()->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(text3()->font().family(), QApplication::font().family());

    auto* mnuFile = child<QMenu>(u"MnuFile"_s);
    auto* mnuExit = child<QAction>(u"MnuExit"_s);
    auto* mnuReceive = child<QMenu>(u"MnuReceive"_s);
    QCOMPARE(
        form->menuBar()->actions(), (QList<QAction*> { mnuFile->menuAction(), mnuReceive->menuAction() }));
    QCOMPARE(mnuReceive->title(), u"Receive"_s);
    QCOMPARE(mnuFile->title(), u"File"_s);
    QCOMPARE(mnuFile->actions(), QList<QAction*> { mnuExit });
    QCOMPARE(mnuExit->text(), u"Exit"_s);
    QVERIFY(mnuExit->shortcuts().isEmpty());
}

void TestMainWindow::focus()
{
    QCOMPARE(QApplication::focusWidget(), text2());
    QCOMPARE(input(), QString());
    QCOMPARE(report(), QString());
    QTest::keyClick(text2(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), text3());
    QCOMPARE(input(), QString());
}

void TestMainWindow::typingKeyByKey_data()
{
    QTest::addColumn<QString>("keys");

    QTest::newRow("upper case") << beaconA;
    QTest::newRow("every field unknown") << beaconB;
    for (const GoldenReport& golden : goldenReports()) {
        QTest::newRow(qPrintable(golden.input)) << golden.input;
    }
}

void TestMainWindow::typingKeyByKey()
{
    QFETCH(QString, keys);
    QSignalSpy reportWrites(text3(), &QPlainTextEdit::textChanged);
    for (const QChar key : keys) {
        QCOMPARE(report(), QString());
        QTest::keyClick(text2(), key.toLatin1());
    }
    QCOMPARE(input(), keys);
    QCOMPARE(report(), reportFor(keys));
    QCOMPARE(reportWrites.count(), 1);
    QCOMPARE(text3()->blockCount(), 13);
}

void TestMainWindow::keyAfterBeacon_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("inputAfter");
    QTest::addColumn<int>("reportWrites");

    QTest::newRow("20th character") << QKeyCombination(Qt::Key_X) << beaconA + u"x"_s << 0;
    QTest::newRow("backspace") << QKeyCombination(Qt::Key_Backspace) << beaconA.chopped(1) << 0;
    QTest::newRow("enter after the frame") << QKeyCombination(Qt::Key_Return) << beaconA + u"\r\n"_s << 0;
    QTest::newRow("shift enter after the frame")
        << QKeyCombination(Qt::ShiftModifier, Qt::Key_Return) << beaconA + u"\r\n"_s << 0;
    // Spaces do not count, so the text is still the same beacon and its report is written again.
    QTest::newRow("space is no character") << QKeyCombination(Qt::Key_Space) << beaconA + u" "_s << 1;
}

void TestMainWindow::keyAfterBeacon()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, inputAfter);
    QFETCH(int, reportWrites);
    QTest::keyClicks(text2(), beaconA);
    QSignalSpy text3Changes(text3(), &QPlainTextEdit::textChanged);
    QTest::keyClick(text2(), key.key(), key.keyboardModifiers());
    QCOMPARE(input(), inputAfter);
    QCOMPARE(text3Changes.count(), reportWrites);
    QCOMPARE(report(), reportFor(beaconA));
}

void TestMainWindow::typedLineBreak_data()
{
    QTest::addColumn<QKeyCombination>("key");

    QTest::newRow("return") << QKeyCombination(Qt::Key_Return);
    QTest::newRow("keypad enter") << QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter);
    QTest::newRow("shift return") << QKeyCombination(Qt::ShiftModifier, Qt::Key_Return);
    QTest::newRow("shift keypad enter")
        << QKeyCombination(Qt::ShiftModifier | Qt::KeypadModifier, Qt::Key_Enter);
}

// Eleven symbols after the prefix plus one line break make 19 characters.
void TestMainWindow::typedLineBreak()
{
    QFETCH(QKeyCombination, key);
    QTest::keyClicks(text2(), u"TARNUP"_s);
    QTest::keyClick(text2(), key.key(), key.keyboardModifiers());
    QTest::keyClicks(text2(), u"Q8CQCG4XGG4"_s);
    QCOMPARE(input(), u"TARNUP\r\nQ8CQCG4XGG4"_s);
    QCOMPARE(report(), reportFor(input()));
}

void TestMainWindow::paste_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("decoded");

    const QString inside = u"TARNUP\r\nQ8CQCG4XGG4"_s;
    QTest::newRow("groups, lower case")
        << u"tarnup q8cq cg4x gg4d z"_s << u"tarnup q8cq cg4x gg4d z"_s << true;
    QTest::newRow("CR LF inside") << inside << inside << true;
    QTest::newRow("lone LF") << u"TARNUP\nQ8CQCG4XGG4"_s << inside << true;
    QTest::newRow("lone CR") << u"TARNUP\rQ8CQCG4XGG4"_s << inside << true;
    QTest::newRow("paragraph separator") << u"TARNUP\u2029Q8CQCG4XGG4"_s << inside << true;
    QTest::newRow("line separator") << u"TARNUP\u2028Q8CQCG4XGG4D"_s << u"TARNUP\u2028Q8CQCG4XGG4D"_s << true;
    QTest::newRow("tab") << u"TARNUPQ8CQCG4XGG4D\t"_s << u"TARNUPQ8CQCG4XGG4D\t"_s << true;
    QTest::newRow("no-break space") << u"TARNUP\u00a0Q8CQCG4XGG4D"_s << u"TARNUP\u00a0Q8CQCG4XGG4D"_s << true;
    QTest::newRow("no-break space is no space")
        << u"TARNUP\u00a0"_s + beaconA.mid(6) << u"TARNUP\u00a0"_s + beaconA.mid(6) << false;
    QTest::newRow("beacon and CR LF") << beaconA + u"\r\n"_s << beaconA + u"\r\n"_s << false;
    QTest::newRow("same beacon again") << beaconB << beaconB << true;
}

// Pasted over the whole of an earlier beacon, so a text that is no beacon must leave its report.
void TestMainWindow::paste()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, entered);
    QFETCH(bool, decoded);
    pasteIntoText2(beaconB);
    text2()->selectAll();
    pasteIntoText2(clipboard);
    QCOMPARE(input(), entered);
    QCOMPARE(report(), reportFor(decoded ? entered : beaconB));
}

void TestMainWindow::pasteOverSelectionAndUndo()
{
    const QString before = u"TARNUPxxxxCG4XGG4DZ"_s;
    QTest::keyClicks(text2(), before);
    QTextCursor selection = text2()->textCursor();
    selection.setPosition(6);
    selection.setPosition(10, QTextCursor::KeepAnchor);
    text2()->setTextCursor(selection);
    pasteIntoText2(u"Q8CQ"_s);
    QCOMPARE(input(), beaconA);
    QCOMPARE(report(), reportFor(beaconA));

    QTest::keySequence(text2(), QKeySequence::Undo);
    QCOMPARE(input(), before);
    QCOMPARE(report(), reportFor(before));
    QTest::keySequence(text2(), QKeySequence::Redo);
    QCOMPARE(input(), beaconA);
    QCOMPARE(report(), reportFor(beaconA));
}

void TestMainWindow::everyEditDecodes_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("text"); // typed, pasted or dropped; typed first for undo and redo
    QTest::addColumn<int>("golden"); // the report the edit completes

    const auto& g = goldenReports();
    const auto row = [&](const char* name, const QString& before, int anchor, int position, Edit edit,
                         const QString& text, int golden) {
        QTest::newRow(name) << before << anchor << position << int(edit) << text << golden;
    };
    const QString a = g[1].input;
    const QString b = g[2].input;
    const QString c = g[3].input;
    const QString d = g[4].input;
    row("type at the start", a.mid(1), 0, 0, typeKeys, a.left(1), 1);
    row("type in the middle", b.left(9) + b.mid(10), 9, 9, typeKeys, b.mid(9, 1), 2);
    row("type at the end", c.chopped(1), -1, -1, typeKeys, c.right(1), 3);
    row("delete at the start", u"x"_s + a, 0, 0, deleteKey, {}, 1);
    row("delete in the middle", b.left(9) + u"x"_s + b.mid(9), 9, 9, deleteKey, {}, 2);
    row("delete before the end", c + u"x"_s, int(c.size()), int(c.size()), deleteKey, {}, 3);
    row("delete a selection at the start", u"xyz"_s + d, 0, 3, deleteKey, {}, 4);
    row("backspace after the first character", u"x"_s + a, 1, 1, backspaceKey, {}, 1);
    row("backspace a selection at the start", u"xyz"_s + b, 3, 0, backspaceKey, {}, 2);
    row("backspace in the middle", c.left(9) + u"x"_s + c.mid(9), 10, 10, backspaceKey, {}, 3);
    row("backspace at the end", d + u"x"_s, -1, -1, backspaceKey, {}, 4);
    row("cut at the start", u"xyz"_s + a, 0, 3, cutKeys, {}, 1);
    row("cut in the middle", b.left(9) + u"xyz"_s + b.mid(9), 9, 12, cutKeys, {}, 2);
    row("paste at the start", c.mid(6), 0, 0, pasteKeys, c.left(6), 3);
    row("paste over a selection", d.left(6) + u"!!"_s + d.mid(10), 6, 8, pasteKeys, d.mid(6, 4), 4);
    row("undo a typed character", a, 3, 3, undoKeys, u"x"_s, 1);
    row("undo at the start", b, 0, 0, undoKeys, u"x"_s, 2);
    row("redo", c.left(9) + c.mid(10), 9, 9, redoKeys, c.mid(9, 1), 3);
    row("drop at the start", d.mid(1), 0, 0, dropText, d.left(1), 4);
    row("drop in the middle", a.left(9) + a.mid(12), 9, 9, dropText, a.mid(9, 3), 1);
}

// Whatever changes the input decodes it: each edit completes a beacon over notes in Text3.
void TestMainWindow::everyEditDecodes()
{
    QFETCH(QString, before);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(int, edit);
    QFETCH(QString, text);
    QFETCH(int, golden);
    text2()->setPlainText(before);
    QTextCursor cursor = text2()->textCursor();
    cursor.setPosition(anchor < 0 ? int(before.size()) : anchor);
    cursor.setPosition(position < 0 ? int(before.size()) : position, QTextCursor::KeepAnchor);
    text2()->setTextCursor(cursor);
    if (edit == undoKeys || edit == redoKeys) {
        QTest::keyClicks(text2(), text);
    }
    if (edit == redoKeys) {
        QTest::keySequence(text2(), QKeySequence::Undo);
    }
    if (edit == pasteKeys) {
        QGuiApplication::clipboard()->setText(text);
    }
    text3()->setPlainText(u"my notes"_s);

    switch (edit) {
    case typeKeys:
        QTest::keyClicks(text2(), text);
        break;
    case deleteKey:
        QTest::keyClick(text2(), Qt::Key_Delete);
        break;
    case backspaceKey:
        QTest::keyClick(text2(), Qt::Key_Backspace);
        break;
    case cutKeys:
        QTest::keySequence(text2(), QKeySequence::Cut);
        break;
    case pasteKeys:
        QTest::keySequence(text2(), QKeySequence::Paste);
        break;
    case undoKeys:
        QTest::keySequence(text2(), QKeySequence::Undo);
        break;
    case redoKeys:
        QTest::keySequence(text2(), QKeySequence::Redo);
        break;
    case dropText:
        dropOnto(text2(), position, text);
        break;
    }
    QCOMPARE(input(), goldenReports().at(golden).input);
    QCOMPARE(report(), goldenReports().at(golden).report());
}

void TestMainWindow::reportFitsText3_data()
{
    QTest::addColumn<QString>("beacon");

    QTest::newRow("every field unknown") << beaconB;
    // Between them these show every line any field can produce.
    for (const GoldenReport& golden : goldenReports()) {
        QTest::newRow(qPrintable(golden.input)) << golden.frame();
    }
}

// All 13 lines show at once: none wraps, none is scrolled away or cut off at the bottom.
void TestMainWindow::reportFitsText3()
{
    QFETCH(QString, beacon);
    text2()->setPlainText(beacon);
    QCOMPARE(report(), reportFor(beacon));
    QTextDocument* document = text3()->document();
    QCOMPARE(document->blockCount(), 13);
    for (QTextBlock line = document->begin(); line.isValid(); line = line.next()) {
        QCOMPARE(line.layout()->lineCount(), 1);
    }
    QCOMPARE(text3()->verticalScrollBar()->maximum(), 0);
    QCOMPARE(text3()->verticalScrollBar()->value(), 0);
    const QRectF lastLine = document->documentLayout()->blockBoundingRect(document->lastBlock());
    const qreal bottom = document->documentMargin() + lastLine.bottom();
    QVERIFY2(bottom <= text3()->viewport()->height(),
        qPrintable(u"%1 > %2"_s.arg(bottom).arg(text3()->viewport()->height())));
}

void TestMainWindow::userTextInText3_data()
{
    QTest::addColumn<QString>("invalid");

    QTest::newRow("prefix only") << u"TARNUP"_s;
    QTest::newRow("one short") << beaconA.chopped(1);
    QTest::newRow("wrong prefix") << u"TARNOPQ8CQCG4XGG4DZ"_s;
}

void TestMainWindow::userTextInText3()
{
    QFETCH(QString, invalid);
    const QString notes = u"my notes\r\nabout the pass"_s;
    QTest::keyClick(text2(), Qt::Key_Tab);
    QTest::keyClicks(text3(), u"my notes"_s);
    QTest::keyClick(text3(), Qt::Key_Return);
    QTest::keyClicks(text3(), u"about the pass"_s);
    QCOMPARE(report(), notes);

    QTest::keyClick(text3(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClicks(text2(), invalid);
    QCOMPARE(report(), notes);
    QVERIFY(text3()->document()->isUndoAvailable());

    text2()->selectAll();
    QTest::keyClicks(text2(), beaconA);
    QCOMPARE(report(), reportFor(beaconA));
}

void TestMainWindow::exit_data()
{
    QTest::addColumn<bool>("fromMenu");

    QTest::newRow("File, Exit") << true;
    QTest::newRow("close button") << false;
}

void TestMainWindow::exit()
{
    QFETCH(bool, fromMenu);
    QTest::keyClicks(text2(), beaconA);
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    // The program only ends from inside its event loop, so the window is closed from there.
    QTimer::singleShot(0, form, [this, fromMenu] {
        if (!fromMenu) {
            form->windowHandle()->close();
            return;
        }
        auto* mnuFile = child<QMenu>(u"MnuFile"_s);
        QMenuBar* bar = form->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(mnuFile->menuAction()).center());
        if (!QTest::qWaitForWindowExposed(mnuFile)) {
            QApplication::exit(2);
            return;
        }
        QTest::mouseClick(
            mnuFile, Qt::LeftButton, {}, mnuFile->actionGeometry(child<QAction>(u"MnuExit"_s)).center());
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!form->isVisible());
    QCOMPARE(lastWindowClosed.count(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
