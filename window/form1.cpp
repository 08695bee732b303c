// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"
#include "edit_field.h"

#include <QFileDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {

// The layout was drawn in twips; 15 of them make one logical pixel, and Qt scales from there.
constexpr int twipsPerPixel = 15;

constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return { left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel, height / twipsPerPixel };
}

constexpr QRect clientArea = fromTwips(0, 0, 6255, 3495);
constexpr QRect label2Area = fromTwips(120, 120, 1695, 255);
constexpr QRect text2Area = fromTwips(1920, 0, 4215, 375);
constexpr QRect text3Area = fromTwips(120, 600, 6015, 2775);

constexpr int reportLines = 13;

const QColor windowColour(240, 240, 240);
const QColor inputColour(0, 0, 255);

QFont inputFont()
{
    QFont font(u"Courier New"_s);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Bold);
    return font;
}

QPlainTextEdit* createTextField(QWidget* parent, const QString& name, const QRect& area)
{
    auto* field = new QPlainTextEdit(parent);
    field->setObjectName(name);
    field->setGeometry(area);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    field->setTabChangesFocus(true);
    new ParagraphBreakFilter(field);
    return field;
}

// The largest size, at most `font`'s own, at which `lines` lines of it fit into `height` pixels.
QFont fontFittingLines(QFont font, int lines, qreal height)
{
    constexpr qreal step = 0.25;
    while (lines * QFontMetricsF(font).lineSpacing() > height && font.pointSizeF() > step) {
        font.setPointSizeF(font.pointSizeF() - step);
    }
    return font;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"TARNU-PII CW Telemetry Decoder [GYPRI]"_s);
    setWindowIcon(QIcon(u":/icons/tarnup-decoder.png"_s));
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowColour);
    setPalette(windowPalette);

    createControls();
    createMenus();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    text2->setFocus();
}

void Form1::createControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(clientArea.size());
    setCentralWidget(client);

    label2 = new QLabel(u"received CW string:"_s, client);
    label2->setObjectName(u"Label2"_s);
    label2->setGeometry(label2Area);
    label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    text2 = createTextField(client, u"Text2"_s, text2Area);
    text2->setFont(inputFont());
    QPalette inputPalette = text2->palette();
    inputPalette.setColor(QPalette::Text, inputColour);
    text2->setPalette(inputPalette);
    text2->setAccessibleName(label2->text());
    label2->setBuddy(text2);

    text3 = createTextField(client, u"Text3"_s, text3Area);
    text3->setAccessibleName(u"decoded report"_s);
    const qreal reportHeight = text3->contentsRect().height() - 2 * text3->document()->documentMargin();
    const QFont reportFont = fontFittingLines(font(), reportLines, reportHeight);
    label2->setFont(reportFont);
    text3->setFont(reportFont);

    setTabOrder(text2, text3);
    connect(text2, &QPlainTextEdit::textChanged, this, &Form1::text2Changed);
}

void Form1::createMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(u"File"_s);
    mnuFile->setObjectName(u"MnuFile"_s);
    QAction* mnuExit = mnuFile->addAction(u"Exit"_s);
    mnuExit->setObjectName(u"MnuExit"_s);
    // Keeps Exit under File on macOS too, where a quit-like item would move to the application menu.
    mnuExit->setMenuRole(QAction::NoRole);
    connect(mnuExit, &QAction::triggered, this, &Form1::mnuExitClicked);

    QMenu* mnuReceive = menuBar()->addMenu(u"Receive"_s);
    mnuReceive->setObjectName(u"MnuReceive"_s);
    QAction* mnuListen = mnuReceive->addAction(u"Listen\u2026"_s);
    mnuListen->setObjectName(u"MnuListen"_s);
    mnuListen->setShortcut(Qt::CTRL | Qt::Key_L);
    connect(mnuListen, &QAction::triggered, this, &Form1::mnuListenClicked);
    QAction* mnuOpenRecording = mnuReceive->addAction(u"Open Recording\u2026"_s);
    mnuOpenRecording->setObjectName(u"MnuOpenRecording"_s);
    mnuOpenRecording->setShortcut(Qt::CTRL | Qt::Key_O);
    connect(mnuOpenRecording, &QAction::triggered, this, &Form1::mnuOpenRecordingClicked);
}

void Form1::text2Changed()
{
    EditField reportField(*text3);
    beacon::decodeInput(EditField(*text2).text(), reportField);
}

void Form1::mnuExitClicked()
{
    close();
}

Receiver* Form1::receiverWindow()
{
    if (!receiver) {
        receiver = new Receiver(this);
        // A window of its own that still closes with this one.
        receiver->setWindowFlag(Qt::Window);
        connect(receiver, &Receiver::beaconForMainWindow, this, &Form1::beaconReceived);
        connect(receiver, &Receiver::beaconFound, this, &Form1::beaconHeard);
    }
    return receiver;
}

void Form1::mnuListenClicked()
{
    Receiver* window = receiverWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void Form1::mnuOpenRecordingClicked()
{
    QFileDialog dialog(this, u"Open Recording"_s);
    // Qt's own dialog: its name field takes a full path typed in and Enter, on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(Receiver::recordingFilters());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        openRecording(dialog.selectedFiles().constFirst());
    }
}

void Form1::openRecording(const QString& path)
{
    mnuListenClicked();
    receiver->openRecording(path);
}

void Form1::beaconReceived(const QString& beacon)
{
    // Through the input field, so the report is the window's own decoding of it. Remembered as
    // heard, so that it is not logged again as a beacon the user typed when it is replaced.
    QStringList heard = text2->property("heardBeacons").toStringList();
    heard.append(beacon);
    constexpr qsizetype remembered = 100;
    text2->setProperty("heardBeacons", heard.mid(std::max<qsizetype>(0, heard.size() - remembered)));
    EditField(*text2).setText(beacon);
}
